#include "formats/cubase/BankEntryStore.h"

#include <algorithm>
#include <span>

namespace quorvix {

namespace {

constexpr std::size_t kFirstBlock = 32;
constexpr std::size_t kLargestBlock = 8192; // 64 KiB

} // namespace

BankEntryStore::BankEntryStore(std::int32_t bankCount)
    : m_tails(static_cast<std::size_t>(std::max(bankCount, 0))),
      m_blocks(static_cast<std::size_t>(std::max(bankCount, 0)))
{}

BankEntryStore::~BankEntryStore() = default;

void BankEntryStore::openBlock(std::int32_t bank)
{
    std::vector<Block>& blocks = m_blocks[static_cast<std::size_t>(bank)];
    const std::size_t capacity =
        blocks.empty() ? kFirstBlock : std::min(blocks.back().capacity * 2, kLargestBlock);
    Block block{std::make_unique_for_overwrite<EntryRecord[]>(capacity), capacity};
    Tail& tail = m_tails[static_cast<std::size_t>(bank)];
    tail.next = block.records.get();
    tail.end = tail.next + capacity;
    blocks.push_back(std::move(block));
}

std::size_t BankEntryStore::count(std::int32_t bank) const
{
    const std::vector<Block>& blocks = m_blocks[static_cast<std::size_t>(bank)];
    if (blocks.empty())
        return 0;
    std::size_t total = 0;
    for (std::size_t i = 0; i + 1 < blocks.size(); ++i)
        total += blocks[i].capacity;
    return total + static_cast<std::size_t>(m_tails[static_cast<std::size_t>(bank)].next -
                                            blocks.back().records.get());
}

void BankEntryStore::takeSorted(std::int32_t bank, std::vector<EntryRecord>& sorted)
{
    std::vector<Block>& blocks = m_blocks[static_cast<std::size_t>(bank)];
    const std::size_t total = count(bank);
    // The blocks in reading order, the last one filled up to the tail.
    std::vector<std::span<const EntryRecord>> parts;
    parts.reserve(blocks.size());
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::size_t used = i + 1 < blocks.size()
                                     ? blocks[i].capacity
                                     : static_cast<std::size_t>(m_tails[static_cast<std::size_t>(bank)].next -
                                                                blocks[i].records.get());
        parts.emplace_back(blocks[i].records.get(), used);
    }

    sorted.clear();
    sorted.reserve(total);
    if (total > 0) {
        std::uint32_t lowest = parts.front().front().program;
        std::uint32_t highest = lowest;
        bool ordered = true;
        std::uint32_t previous = lowest;
        for (const auto& part : parts) {
            for (const EntryRecord& record : part) {
                ordered = ordered && previous <= record.program;
                previous = record.program;
                lowest = std::min(lowest, record.program);
                highest = std::max(highest, record.program);
            }
        }
        // Programs usually lie within 128 values, so counting them sorts in linear time; keys spread wider
        // than the list is long would make the count table the larger cost.
        const std::uint64_t span = std::uint64_t{highest} - lowest + 1;
        if (ordered || span > std::max<std::uint64_t>(kCountingSortSpan, std::uint64_t{4} * total)) {
            for (const auto& part : parts)
                sorted.insert(sorted.end(), part.begin(), part.end());
            if (!ordered)
                std::stable_sort(
                    sorted.begin(), sorted.end(),
                    [](const EntryRecord& a, const EntryRecord& b) { return a.program < b.program; });
        } else {
            const auto slotOf = [lowest](const EntryRecord& record) {
                return static_cast<std::size_t>(record.program - lowest);
            };
            // m_starts[k] becomes the position of the first record with program lowest + k.
            m_starts.assign(static_cast<std::size_t>(span) + 1, 0);
            for (const auto& part : parts)
                for (const EntryRecord& record : part)
                    ++m_starts[slotOf(record) + 1];
            for (std::size_t k = 1; k < m_starts.size(); ++k)
                m_starts[k] += m_starts[k - 1];
            sorted.resize(total);
            // Placed in reading order, which keeps the records of one program in the order they were read.
            for (const auto& part : parts)
                for (const EntryRecord& record : part)
                    sorted[m_starts[slotOf(record)]++] = record;
        }
    }

    std::vector<Block>().swap(blocks);
    m_tails[static_cast<std::size_t>(bank)] = Tail{};
}

} // namespace quorvix
