#include "formats/cubase/BankRecordList.h"
#include "formats/cubase/PatchRecordList.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

using namespace quorvix;

namespace {

// Keys and tags of the records in list order.
std::vector<std::pair<std::int32_t, std::string>> contents(const PatchRecordList& list)
{
    std::vector<std::pair<std::int32_t, std::string>> result;
    for (std::int32_t i = 0; i < list.GetCount(); ++i) {
        std::string bank, program, name;
        std::int32_t number = 0;
        list.GetAt(i, bank, number, program, name);
        result.emplace_back(number, name);
    }
    return result;
}

std::vector<std::pair<std::int32_t, std::string>> contents(const BankRecordList& list)
{
    std::vector<std::pair<std::int32_t, std::string>> result;
    for (std::int32_t i = 0; i < list.GetCount(); ++i) {
        std::string bank, msb, lsb;
        std::int32_t number = 0, slot = 0;
        list.GetAt(i, number, bank, msb, lsb, slot);
        result.emplace_back(number, bank);
    }
    return result;
}

} // namespace

TEST(RecordLists, GetAtOutsideTheListLeavesEveryOutputUnchanged)
{
    PatchRecordList patches;
    BankRecordList banks;
    for (const std::int32_t count : {0, 1, 3}) {
        for (std::int32_t i = patches.GetCount(); i < count; ++i) {
            patches.Add("7", i, std::to_string(i), "name");
            banks.Add(i, "7", "0", "7", i);
        }
        for (const std::int32_t index : {-1, count, count + 1, std::numeric_limits<std::int32_t>::min(),
                                         std::numeric_limits<std::int32_t>::max()}) {
            std::string bank = "b", program = "p", name = "n", msb = "m", lsb = "l";
            std::int32_t number = -5, slot = -6;
            patches.GetAt(index, bank, number, program, name);
            EXPECT_EQ(bank, "b");
            EXPECT_EQ(number, -5);
            EXPECT_EQ(program, "p");
            EXPECT_EQ(name, "n");
            banks.GetAt(index, number, bank, msb, lsb, slot);
            EXPECT_EQ(number, -5);
            EXPECT_EQ(bank, "b");
            EXPECT_EQ(msb, "m");
            EXPECT_EQ(lsb, "l");
            EXPECT_EQ(slot, -6);
        }
    }
}

TEST(RecordLists, GetAtCopiesEveryFieldAsAdded)
{
    PatchRecordList patches;
    // Bank texts that change between records, empty texts, NUL bytes and a text too long for a short length.
    const std::string longName(70000, 'x');
    const std::string withNul("a\0b", 3);
    patches.Add("130", 1, "001", "One");
    patches.Add("130", 2, "", "");
    patches.Add("0", 3, "3", withNul);
    patches.Add("130", 4, "4", longName);
    patches.Add("", -9, "9", "Last");

    const std::vector<std::tuple<std::string, std::int32_t, std::string, std::string>> expected = {
        {"130", 1, "001", "One"},
        {"130", 2, "", ""},
        {"0", 3, "3", withNul},
        {"130", 4, "4", longName},
        {"", -9, "9", "Last"}};
    ASSERT_EQ(patches.GetCount(), 5);
    for (std::int32_t i = 0; i < 5; ++i) {
        std::string bank, program, name;
        std::int32_t number = 0;
        patches.GetAt(i, bank, number, program, name);
        EXPECT_EQ(std::tie(bank, number, program, name), expected[static_cast<std::size_t>(i)])
            << "record " << i;
    }

    BankRecordList banks;
    banks.Add(25605, "25605", "200", "5", 3);
    std::string bank, msb, lsb;
    std::int32_t number = 0, slot = 0;
    banks.GetAt(0, number, bank, msb, lsb, slot);
    EXPECT_EQ(std::tie(number, bank, msb, lsb, slot), std::make_tuple(25605, "25605", "200", "5", 3));
}

TEST(RecordLists, SortIsStableAndAscending)
{
    PatchRecordList patches;
    BankRecordList banks;
    const std::vector<std::pair<std::int32_t, std::string>> added = {{5, "a"}, {3, "b"}, {5, "c"}, {3, "d"}};
    for (const auto& [key, tag] : added) {
        patches.Add("0", key, std::to_string(key), tag);
        banks.Add(key, tag, "0", "0", 0);
    }
    patches.Sort();
    banks.Sort();
    const std::vector<std::pair<std::int32_t, std::string>> sorted = {{3, "b"}, {3, "d"}, {5, "a"}, {5, "c"}};
    EXPECT_EQ(contents(patches), sorted);
    EXPECT_EQ(contents(banks), sorted);

    // Sorting again changes nothing; the extreme keys compare as signed numbers.
    patches.Sort();
    EXPECT_EQ(contents(patches), sorted);
    PatchRecordList extremes;
    extremes.Add("0", std::numeric_limits<std::int32_t>::max(), "", "max");
    extremes.Add("0", 0, "", "zero");
    extremes.Add("0", std::numeric_limits<std::int32_t>::min(), "", "min");
    extremes.Sort();
    EXPECT_EQ(contents(extremes), (std::vector<std::pair<std::int32_t, std::string>>{
                                      {std::numeric_limits<std::int32_t>::min(), "min"},
                                      {0, "zero"},
                                      {std::numeric_limits<std::int32_t>::max(), "max"}}));
}

TEST(RecordLists, SortOfAnEmptyOrSingleListChangesNothing)
{
    PatchRecordList patches;
    patches.Sort();
    EXPECT_EQ(patches.GetCount(), 0);
    patches.Add("1", 9, "9", "only");
    patches.Sort();
    EXPECT_EQ(contents(patches), (std::vector<std::pair<std::int32_t, std::string>>{{9, "only"}}));

    BankRecordList banks;
    banks.Sort();
    EXPECT_EQ(banks.GetCount(), 0);
    banks.Add(4, "4", "0", "4", 0);
    banks.Sort();
    EXPECT_EQ(contents(banks), (std::vector<std::pair<std::int32_t, std::string>>{{4, "4"}}));
}

TEST(RecordLists, GrowthKeepsEveryRecordInOrder)
{
    PatchRecordList patches;
    EXPECT_EQ(patches.capacity(), 128);
    for (std::int32_t i = 0; i < 128; ++i)
        patches.Add("0", i, std::to_string(i), "p" + std::to_string(i));
    EXPECT_EQ(patches.capacity(), 128);
    patches.Add("0", 128, "128", "p128");
    EXPECT_EQ(patches.capacity(), 148);
    for (std::int32_t i = 129; i < 100000; ++i)
        patches.Add("0", i, std::to_string(i), "p" + std::to_string(i));
    EXPECT_GE(patches.capacity(), patches.GetCount());
    for (const std::int32_t i : {0, 127, 128, 129, 5000, 99999}) {
        std::string bank, program, name;
        std::int32_t number = 0;
        patches.GetAt(i, bank, number, program, name);
        EXPECT_EQ(number, i);
        EXPECT_EQ(name, "p" + std::to_string(i));
    }

    BankRecordList banks;
    EXPECT_EQ(banks.capacity(), 1000);
    for (std::int32_t i = 0; i <= 1000; ++i)
        banks.Add(i, std::to_string(i), "0", "0", i);
    EXPECT_EQ(banks.capacity(), 1500);
    std::string bank, msb, lsb;
    std::int32_t number = 0, slot = 0;
    banks.GetAt(1000, number, bank, msb, lsb, slot);
    EXPECT_EQ(bank, "1000");
    EXPECT_EQ(slot, 1000);
}

TEST(RecordLists, LargeSortKeepsTheReadingOrderOfEqualKeys)
{
    PatchRecordList patches;
    constexpr std::int32_t kCount = 50000;
    for (std::int32_t i = 0; i < kCount; ++i)
        patches.Add("0", 6 - i % 7, "", std::to_string(i));
    patches.Sort();
    const auto sorted = contents(patches);
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        ASSERT_LE(sorted[i - 1].first, sorted[i].first);
        if (sorted[i - 1].first == sorted[i].first) {
            ASSERT_LT(std::stoi(sorted[i - 1].second), std::stoi(sorted[i].second));
        }
    }
}

// Lists sorted by counting (keys within a small range, negative ones among them) and lists whose keys spread
// too wide for that, each against std::stable_sort of the same keys.
TEST(RecordLists, SortMatchesAStableSortForNarrowAndWideKeyRanges)
{
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    struct Case
    {
        const char* name;
        std::vector<std::int32_t> keys;
    };
    std::vector<Case> cases = {
        {"narrow, repeated", {}},
        {"narrow, negative", {}},
        {"narrow, next to the int32 maximum", {}},
        {"narrow, next to the int32 minimum", {}},
        {"exactly the counted span", {4095, 0, 4095, 2000, 0}},
        {"one more than the counted span", {4096, 0, 4096, 2000, 0}},
        {"the whole int32 range", {kMax, kMin, 0, kMax, -1, kMin, 1}},
        {"wide, many records", {}},
    };
    for (std::int32_t i = 0; i < 3000; ++i) {
        cases[0].keys.push_back((i * 37) % 128);
        cases[1].keys.push_back(-((i * 13) % 300) + 50);
        cases[2].keys.push_back(kMax - (i * 7) % 200);
        cases[3].keys.push_back(kMin + (i * 11) % 200);
        cases[7].keys.push_back((i % 2 == 0 ? 1 : -1) * ((i * 7919) % 1000000));
    }

    for (const Case& test : cases) {
        PatchRecordList patches;
        std::vector<std::pair<std::int32_t, std::string>> expected;
        for (std::size_t i = 0; i < test.keys.size(); ++i) {
            patches.Add("0", test.keys[i], "", std::to_string(i));
            expected.emplace_back(test.keys[i], std::to_string(i));
        }
        std::stable_sort(expected.begin(), expected.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        patches.Sort();
        EXPECT_EQ(contents(patches), expected) << test.name;

        // A record added after a sort goes behind its equals at the next sort.
        patches.Add("0", test.keys.front(), "", "late");
        expected.emplace_back(test.keys.front(), "late");
        std::stable_sort(expected.begin(), expected.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        patches.Sort();
        EXPECT_EQ(contents(patches), expected) << test.name << ", after one more record";
    }
}
