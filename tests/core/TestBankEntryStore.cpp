#include "formats/cubase/BankEntryStore.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using quorvix::BankEntryStore;
using quorvix::EntryRecord;

namespace {

EntryRecord record(std::uint32_t offset, std::uint32_t program)
{
    EntryRecord entry;
    entry.offset = offset;
    entry.program = program;
    return entry;
}

// The records' offsets, which the cases below number in reading order.
std::vector<std::uint32_t> offsetsOf(const std::vector<EntryRecord>& records)
{
    std::vector<std::uint32_t> offsets;
    for (const EntryRecord& entry : records)
        offsets.push_back(entry.offset);
    return offsets;
}

} // namespace

TEST(BankEntryStore, TakesEachBankInProgramOrderKeepingTheReadingOrderOfEqualPrograms)
{
    struct Case
    {
        std::string what;
        std::vector<std::uint32_t> programs; // added in this order, offsets 0, 1, 2, ...
        std::vector<std::uint32_t> expected; // offsets taken out
    };
    const std::vector<Case> cases = {
        {"empty", {}, {}},
        {"already in order", {0, 0, 5, 127}, {0, 1, 2, 3}},
        {"counted: a narrow span", {7, 3, 7, 0, 3}, {3, 1, 4, 0, 2}},
        {"counted: repeated programs keep their order", {1, 0, 1, 0, 1}, {1, 3, 0, 2, 4}},
        {"sorted: a span far wider than the list", {2000000000, 5, 70000, 5}, {1, 3, 2, 0}},
        {"sorted: the largest program", {0x7FFFFFFF, 0, 0x7FFFFFFF, 1}, {1, 3, 0, 2}},
    };
    for (const Case& c : cases) {
        BankEntryStore store(3);
        for (std::size_t i = 0; i < c.programs.size(); ++i) {
            store.add(1, record(static_cast<std::uint32_t>(i), c.programs[i]));
            store.add(2, record(1000, 9)); // a bank filled in turn with it stays apart
        }
        EXPECT_EQ(store.count(0), 0u) << c.what;
        EXPECT_EQ(store.count(1), c.programs.size()) << c.what;
        std::vector<EntryRecord> sorted{record(99, 99)}; // replaced, not appended to
        store.takeSorted(1, sorted);
        EXPECT_EQ(offsetsOf(sorted), c.expected) << c.what;
        EXPECT_EQ(store.count(1), 0u) << c.what << ": taking a bank empties it";
        EXPECT_EQ(store.count(2), c.programs.size()) << c.what;
    }
}

TEST(BankEntryStore, ManyRecordsCrossEveryBlockSizeWithoutLosingOne)
{
    // Far more records than the largest block holds, for two banks filled in turn: the programs run down
    // from 127 in steps, so that every record moves when it is sorted.
    constexpr std::uint32_t kCount = 50000;
    BankEntryStore store(2);
    for (std::uint32_t i = 0; i < kCount; ++i) {
        store.add(0, record(i, 127 - i % 128));
        store.add(1, record(i, i % 3));
    }
    ASSERT_EQ(store.count(0), kCount);
    std::vector<EntryRecord> sorted;
    store.takeSorted(0, sorted);
    ASSERT_EQ(sorted.size(), kCount);
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        ASSERT_LE(sorted[i - 1].program, sorted[i].program) << "at " << i;
        if (sorted[i - 1].program == sorted[i].program) {
            ASSERT_LT(sorted[i - 1].offset, sorted[i].offset) << "at " << i;
        }
    }
    EXPECT_EQ(sorted.front().offset, 127u) << "the first record of program 0";
    store.takeSorted(1, sorted);
    EXPECT_EQ(sorted.size(), kCount);
}
