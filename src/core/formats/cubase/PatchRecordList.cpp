#include "formats/cubase/PatchRecordList.h"

#include "formats/cubase/RecordGrowth.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <vector>

namespace quorvix {

namespace {

std::uint32_t checkedLength(std::string_view text)
{
    if (text.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("patch record text too long");
    return static_cast<std::uint32_t>(text.size());
}

} // namespace

PatchRecordList::PatchRecordList()
{
    m_records.reserve(static_cast<std::size_t>(kInitialCapacity));
}

void PatchRecordList::Add(std::string_view bankText, std::int32_t programNumber, std::string_view programText,
                          std::string_view patchName, std::uint32_t line)
{
    const std::int32_t count = GetCount();
    if (count == std::numeric_limits<std::int32_t>::max())
        throw std::length_error("too many patch records");
    if (m_capacity <= count) {
        m_capacity = grownCapacity(m_capacity, kGrowthStep);
        m_records.reserve(static_cast<std::size_t>(m_capacity));
    }

    Record record{};
    record.programNumber = programNumber;
    record.line = line;
    record.programLength = checkedLength(programText);
    record.nameLength = checkedLength(patchName);
    record.text = m_arena.storePair(programText, patchName);
    // In a bank's list every record carries the same bank text; it is stored once per run of equal texts.
    if (m_bankTexts.empty() || m_bankTexts.back() != bankText) {
        checkedLength(bankText);
        if (m_bankTexts.size() > std::numeric_limits<std::uint32_t>::max())
            throw std::length_error("too many bank texts");
        m_bankTexts.push_back(std::string_view(m_arena.store(bankText), bankText.size()));
    }
    record.bankIndex = static_cast<std::uint32_t>(m_bankTexts.size() - 1);
    m_records.push_back(record);
}

PatchRecordList::View PatchRecordList::viewAt(std::int32_t index) const
{
    const Record& record = m_records[static_cast<std::size_t>(index)];
    View view;
    view.bankText = m_bankTexts[record.bankIndex];
    view.programNumber = record.programNumber;
    view.programText = std::string_view(record.text, record.programLength);
    view.patchName = std::string_view(record.text + record.programLength, record.nameLength);
    view.line = record.line;
    return view;
}

void PatchRecordList::GetAt(std::int32_t index, std::string& bankText, std::int32_t& programNumber,
                            std::string& programText, std::string& patchName) const
{
    if (index < 0 || index >= GetCount())
        return;
    const View view = viewAt(index);
    bankText.assign(view.bankText);
    programNumber = view.programNumber;
    programText.assign(view.programText);
    patchName.assign(view.patchName);
}

void PatchRecordList::Sort()
{
    const std::size_t count = m_records.size();
    if (count < 2)
        return;

    // One pass finds whether the list is already in order and the range of its keys.
    std::int32_t lowest = m_records[0].programNumber;
    std::int32_t highest = lowest;
    bool ordered = true;
    for (std::size_t i = 1; i < count; ++i) {
        const std::int32_t key = m_records[i].programNumber;
        ordered = ordered && m_records[i - 1].programNumber <= key;
        lowest = std::min(lowest, key);
        highest = std::max(highest, key);
    }
    if (ordered)
        return;

    // Program numbers usually lie within a few hundred values, so counting them sorts in linear time; a list
    // whose keys spread wider than its length would make the count table the larger cost.
    const auto span = static_cast<std::uint64_t>(std::int64_t{highest} - std::int64_t{lowest}) + 1;
    if (span > std::max<std::uint64_t>(kCountingSortSpan, std::uint64_t{4} * count)) {
        std::stable_sort(m_records.begin(), m_records.end(),
                         [](const Record& a, const Record& b) { return a.programNumber < b.programNumber; });
        return;
    }

    const auto slotOf = [lowest](const Record& record) {
        return static_cast<std::size_t>(std::int64_t{record.programNumber} - std::int64_t{lowest});
    };
    // starts[k] becomes the position of the first record with key lowest + k (below 2^31, as the count is).
    std::vector<std::uint32_t> starts(static_cast<std::size_t>(span) + 1, 0);
    for (const Record& record : m_records)
        ++starts[slotOf(record) + 1];
    for (std::size_t k = 1; k < starts.size(); ++k)
        starts[k] += starts[k - 1];
    // The records are placed back in reading order, which keeps equal keys in the order they were added.
    const std::vector<Record> unsorted(m_records.begin(), m_records.end());
    for (const Record& record : unsorted)
        m_records[starts[slotOf(record)]++] = record;
}

} // namespace quorvix
