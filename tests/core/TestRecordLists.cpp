#include "formats/cubase/BankRecordList.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

using namespace quorvix;

namespace {

using Keyed = std::vector<std::pair<std::int32_t, std::string>>;

// Bank numbers and texts of the records in list order.
Keyed contents(const BankRecordList& list)
{
    Keyed result;
    for (std::int32_t i = 0; i < list.GetCount(); ++i)
        result.emplace_back(list.at(i).bankNumber, list.at(i).bankText);
    return result;
}

} // namespace

TEST(RecordLists, RecordsHoldEveryFieldAsAdded)
{
    BankRecordList banks;
    banks.Add(25605, "25605", "200", "5", 3);
    banks.Add(130, "0130", "1", "2", 0);
    const BankRecord& first = banks.at(0);
    EXPECT_EQ(std::tie(first.bankNumber, first.bankText, first.msbText, first.lsbText, first.patchListSlot),
              std::make_tuple(25605, "25605", "200", "5", 3));
    EXPECT_EQ(banks.at(1).bankText, "0130");
}

TEST(RecordLists, SortIsStableAndAscending)
{
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    const struct
    {
        Keyed added;
        Keyed sorted;
    } cases[] = {
        {{}, {}},
        {{{4, "4"}}, {{4, "4"}}},
        {{{5, "a"}, {3, "b"}, {5, "c"}, {3, "d"}}, {{3, "b"}, {3, "d"}, {5, "a"}, {5, "c"}}},
        {{{kMax, "max"}, {0, "zero"}, {kMin, "min"}}, {{kMin, "min"}, {0, "zero"}, {kMax, "max"}}},
    };
    for (const auto& c : cases) {
        BankRecordList banks;
        for (const auto& [number, text] : c.added)
            banks.Add(number, text, "0", "0", 0);
        banks.Sort();
        EXPECT_EQ(contents(banks), c.sorted);
        banks.Sort(); // sorting again changes nothing
        EXPECT_EQ(contents(banks), c.sorted);
    }
}

TEST(RecordLists, GrowthKeepsEveryRecordInOrder)
{
    BankRecordList banks;
    EXPECT_EQ(banks.capacity(), 1000);
    for (std::int32_t i = 0; i <= 1000; ++i)
        banks.Add(i, std::to_string(i), "0", "0", i);
    EXPECT_EQ(banks.capacity(), 1500);
    for (const std::int32_t i : {0, 999, 1000}) {
        EXPECT_EQ(banks.at(i).bankText, std::to_string(i));
        EXPECT_EQ(banks.at(i).patchListSlot, i);
    }
}
