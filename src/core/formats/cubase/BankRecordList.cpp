#include "formats/cubase/BankRecordList.h"

#include "formats/cubase/RecordGrowth.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace quorvix {

BankRecordList::BankRecordList()
{
    m_records.reserve(static_cast<std::size_t>(kInitialCapacity));
}

void BankRecordList::Add(std::int32_t bankNumber, std::string_view bankText, std::string_view msbText,
                         std::string_view lsbText, std::int32_t patchListSlot)
{
    const std::int32_t count = GetCount();
    if (count == std::numeric_limits<std::int32_t>::max())
        throw std::length_error("too many bank records");
    if (m_capacity <= count) {
        m_capacity = grownCapacity(m_capacity, kGrowthStep);
        m_records.reserve(static_cast<std::size_t>(m_capacity));
    }
    m_records.push_back(BankRecord{bankNumber, std::string(bankText), std::string(msbText),
                                   std::string(lsbText), patchListSlot});
}

void BankRecordList::Sort()
{
    const auto byBank = [](const BankRecord& a, const BankRecord& b) { return a.bankNumber < b.bankNumber; };
    if (std::is_sorted(m_records.begin(), m_records.end(), byBank))
        return;
    std::stable_sort(m_records.begin(), m_records.end(), byBank);
}

} // namespace quorvix
