#pragma once

// What the header row of a table says: which kind of table it is and where its columns are. Column names
// are found in any order and letter case, blanks, underscores and hyphens left out ("Bank MSB" = "bank_msb"
// = "bankmsb"), with the spellings patch lists use.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix::csv {

enum class TableKind : unsigned char
{
    Voices,      ///< a patch list: a program and a name column (to-csv's own, or anyone's)
    Notes,       ///< drum-note names: note and name (to-csv --what notes)
    Controls,    ///< controller, RPN and NRPN names: type, number and name (to-csv --what controllers)
    MidiGuide,   ///< a midi.guide controller table: parameter_name at cc_msb / cc_lsb, nrpn_msb / nrpn_lsb
    MidiTrigger, ///< a midi.guide triggers table: sound_name at note_number_default_value
};

/// The columns a reader looks for.
enum class Column : unsigned char
{
    Device,
    Bank,
    BankName,
    Msb,
    Lsb,
    Program,
    Name,
    Category,
    List,
    Note,
    Type,
    Number,
    Manufacturer,
    Section,
    CcMsb,
    CcLsb,
    NrpnMsb,
    NrpnLsb,
    NoteMin,
    NoteMax,
    Count
};

/// The header row read.
struct Header
{
    TableKind kind = TableKind::Voices;
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::array<std::size_t, static_cast<std::size_t>(Column::Count)> at{}; ///< cell index, or kNone
    std::vector<std::string> unread; ///< the header's names of columns the table's kind does not read

    std::size_t operator[](Column column) const { return at[static_cast<std::size_t>(column)]; }
    bool has(Column column) const { return (*this)[column] != kNone; }
};

/// The table a header row opens; nothing when the row names no columns Quorvix reads as a table.
std::optional<Header> headerKind(const std::vector<std::string>& cells);

/// The header row of a voices table as to-csv writes it, and those of its other tables.
inline constexpr std::string_view kVoicesHeader = "device,bank,bank_name,msb,lsb,program,name";
inline constexpr std::string_view kNotesHeader = "device,list,note,name";
inline constexpr std::string_view kControlsHeader = "device,type,number,name";

} // namespace quorvix::csv
