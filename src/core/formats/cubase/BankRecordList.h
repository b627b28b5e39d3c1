#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix {

/// One bank found in a Cubase script.
struct BankRecord
{
    std::int32_t bankNumber = 0; ///< MSB * 128 + LSB; the sort key
    std::string bankText;        ///< the bank number as text; identifies the bank
    std::string msbText;
    std::string lsbText;
    std::int32_t patchListSlot = 0; ///< index of the bank's patch list
};

/// The banks of one conversion: a growable list with a stable sort on the bank number.
class BankRecordList
{
public:
    static constexpr std::int32_t kInitialCapacity = 1000;
    static constexpr std::int32_t kGrowthStep = 500;

    /// An empty list with room for kInitialCapacity records.
    BankRecordList();
    virtual ~BankRecordList() = default;
    BankRecordList(const BankRecordList&) = delete;
    BankRecordList& operator=(const BankRecordList&) = delete;

    /// Appends a record holding copies of the fields (std::length_error beyond 2^31 - 1 records).
    void Add(std::int32_t bankNumber, std::string_view bankText, std::string_view msbText,
             std::string_view lsbText, std::int32_t patchListSlot);

    /// Number of records.
    std::int32_t GetCount() const { return static_cast<std::int32_t>(m_records.size()); }

    /// Stable ascending sort on the bank number: equal numbers keep their order.
    void Sort();

    /// Records the list can hold before it grows: kInitialCapacity, then kGrowthStep more at a time, or an
    /// eighth more once that is larger.
    std::int32_t capacity() const { return m_capacity; }

    /// The record at index, 0 <= index < GetCount().
    const BankRecord& at(std::int32_t index) const { return m_records[static_cast<std::size_t>(index)]; }

private:
    std::vector<BankRecord> m_records;
    std::int32_t m_capacity = kInitialCapacity;
};

} // namespace quorvix
