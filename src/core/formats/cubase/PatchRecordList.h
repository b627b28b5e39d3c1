#pragma once

#include "formats/cubase/StringArena.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix {

/// The patches of one bank, as read from a Cubase script: a growable list with a stable sort on the program
/// number. Records are kept compactly; their texts live in the list's own arena.
class PatchRecordList
{
public:
    static constexpr std::int32_t kInitialCapacity = 128;
    static constexpr std::int32_t kGrowthStep = 20;
    /// Lists whose program numbers span at most this many values (or four per record) sort in linear time.
    static constexpr std::uint64_t kCountingSortSpan = 4096;

    /// Read-only view of one record; valid while the list lives.
    struct View
    {
        std::string_view bankText;
        std::int32_t programNumber = 0;
        std::string_view programText;
        std::string_view patchName;
        std::uint32_t line = 0; ///< the script line it came from; 0 when not known
    };

    /// An empty list with room for kInitialCapacity records.
    PatchRecordList();
    virtual ~PatchRecordList() = default;
    PatchRecordList(const PatchRecordList&) = delete;
    PatchRecordList& operator=(const PatchRecordList&) = delete;

    /// Appends a record holding copies of the fields. The list has no upper bound below 2^31 - 1 records
    /// (std::length_error beyond).
    void Add(std::string_view bankText, std::int32_t programNumber, std::string_view programText,
             std::string_view patchName, std::uint32_t line = 0);

    /// Copies the fields of the record at index when 0 <= index < GetCount(); otherwise leaves every output
    /// unchanged.
    void GetAt(std::int32_t index, std::string& bankText, std::int32_t& programNumber,
               std::string& programText, std::string& patchName) const;

    /// Number of records.
    std::int32_t GetCount() const { return static_cast<std::int32_t>(m_records.size()); }

    /// Stable ascending sort on the program number: equal numbers keep their order. Linear in the number of
    /// records when their numbers span at most kCountingSortSpan values or four per record, n log n
    /// otherwise.
    void Sort();

    /// Records the list can hold before it grows: kInitialCapacity, then kGrowthStep more at a time, or an
    /// eighth more once that is larger, so that adding stays linear.
    std::int32_t capacity() const { return m_capacity; }

    /// The record at index, 0 <= index < GetCount().
    View viewAt(std::int32_t index) const;

private:
    // The program text is stored directly before the name, so one pointer reaches both.
    struct Record
    {
        const char* text;
        std::int32_t programNumber;
        std::uint32_t programLength;
        std::uint32_t nameLength;
        std::uint32_t bankIndex; ///< into m_bankTexts
        std::uint32_t line;
    };

    std::vector<Record> m_records;
    std::vector<std::string_view> m_bankTexts; ///< each distinct run of equal bank texts, stored once
    StringArena m_arena;
    std::int32_t m_capacity = kInitialCapacity;
};

} // namespace quorvix
