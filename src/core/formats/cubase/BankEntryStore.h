#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quorvix {

/// One entry line of a script, as the conversion keeps it: its program number, the sort key, and where its
/// text is in the script (the text itself is read again when the entry is written). When the program number
/// is written as it is formatted, `offset` is where the name starts; otherwise (`wholeEntry`) it is where
/// the entry starts, and the entry is taken apart again.
struct EntryRecord
{
    std::uint32_t offset = 0;
    std::uint32_t program : 31 = 0;
    std::uint32_t wholeEntry : 1 = 0;
};
static_assert(sizeof(EntryRecord) == 8);

/// The entry records of a script's banks, each bank's in reading order. A bank's records are kept in blocks
/// that double in size up to a limit and never move: with a thousand banks filled in turn, adding a record
/// writes to one open block per bank, and nothing is copied until the bank is taken out in sorted order.
class BankEntryStore
{
public:
    /// Lists whose program numbers span at most this many values (or four per record) sort in linear time.
    static constexpr std::uint64_t kCountingSortSpan = 4096;

    /// A store for banks 0 to bankCount - 1, all empty.
    explicit BankEntryStore(std::int32_t bankCount);
    ~BankEntryStore();
    BankEntryStore(const BankEntryStore&) = delete;
    BankEntryStore& operator=(const BankEntryStore&) = delete;

    /// Appends a record to the bank, 0 <= bank < bankCount.
    void add(std::int32_t bank, EntryRecord record)
    {
        Tail& tail = m_tails[static_cast<std::size_t>(bank)];
        if (tail.next == tail.end)
            openBlock(bank);
        *tail.next++ = record;
    }

    /// The number of records of the bank.
    std::size_t count(std::int32_t bank) const;

    /// Replaces the contents of `sorted` with the bank's records in ascending program order, records of one
    /// program in reading order, and releases the bank's blocks (the bank is empty afterwards). Linear in
    /// the number of records when their programs span at most kCountingSortSpan values or four per record,
    /// n log n otherwise.
    void takeSorted(std::int32_t bank, std::vector<EntryRecord>& sorted);

private:
    struct Block
    {
        std::unique_ptr<EntryRecord[]> records;
        std::size_t capacity = 0;
    };
    struct Tail
    {
        EntryRecord* next = nullptr;
        EntryRecord* end = nullptr;
    };

    void openBlock(std::int32_t bank);

    std::vector<Tail> m_tails;                ///< the open block of each bank
    std::vector<std::vector<Block>> m_blocks; ///< every block of each bank, the open one last
    std::vector<std::uint32_t> m_starts;      ///< the counting sort's table, kept for the next bank
};

} // namespace quorvix
