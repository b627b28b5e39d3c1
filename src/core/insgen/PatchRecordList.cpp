#include "PatchRecordList.h"

#include "RecordGrowth.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

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
                          std::string_view patchName)
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
    const auto byProgram = [](const Record& a, const Record& b) { return a.programNumber < b.programNumber; };
    if (std::is_sorted(m_records.begin(), m_records.end(), byProgram))
        return;
    std::stable_sort(m_records.begin(), m_records.end(), byProgram);
}

} // namespace quorvix
