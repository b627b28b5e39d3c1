#pragma once

// Inside the .ins reader: what one pass over the lines collects, before any reference is resolved. Names are
// views into the set's text, which does not change while the reader runs.

#include "base/Diagnostic.h"
#include "base/Text.h"
#include "model/Instrument.h"

#include <array>
#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

namespace quorvix::ins {

enum Section : std::uint8_t
{
    kPatchNames,
    kNoteNames,
    kControllerNames,
    kRpnNames,
    kNrpnNames,
    kListSectionCount,
    kInstrumentDefinitions = kListSectionCount,
    kNoSection,
    kUnknownSection,
};

inline constexpr std::array<std::string_view, 6> kSectionLines = {
    ".Patch Names", ".Note Names", ".Controller Names",
    ".RPN Names",   ".NRPN Names", ".Instrument Definitions",
};

inline constexpr std::array<std::string_view, kListSectionCount> kListKinds = {
    "patch list", "note list", "controller list", "RPN list", "NRPN list",
};

/// The highest number a list of the section names: 127, or 16383 for RPN and NRPN lists.
inline std::uint32_t highestNumber(Section section)
{
    return section == kRpnNames || section == kNrpnNames ? 16383 : 127;
}

inline constexpr std::uint32_t kHighestBank = 16383;

// Reference codes: a list index when >= 0, otherwise one of these.
inline constexpr std::int32_t kUndefined = -1;
inline constexpr std::int32_t kBuiltin0To127 = -2;
inline constexpr std::int32_t kBuiltin1To128 = -3;
inline constexpr std::int32_t kBuiltinOther = -4; ///< a built-in list whose names are only the numbers

struct RawList
{
    std::string_view name;
    std::uint32_t line = 0;
    std::string_view baseName;
    std::uint32_t baseLine = 0; ///< 0: no BasedOn
    Section section = kPatchNames;
    bool live = false;              ///< false when a later list of the same name replaced it
    std::int32_t base = kUndefined; ///< resolved BasedOn
    std::vector<Patch> patches;     ///< a patch list's entries
    std::vector<NameEntry> names;   ///< the entries of the other lists
};

struct PatchLine
{
    std::uint32_t line;
    std::uint32_t bank; ///< as written (saturated); unused for Patch[*]
    bool star;
    std::string_view ref;
};

struct KeyLine
{
    std::uint32_t line;
    std::int32_t bank;    ///< -1 for *
    std::int32_t program; ///< -1 for *
    std::string_view ref;
};

struct ListRef
{
    std::uint32_t line = 0; ///< 0: none
    std::string_view ref;
};

struct RawInstrument
{
    std::string_view name;
    std::uint32_t line = 0;
    BankSelectMethod method = BankSelectMethod::Normal;
    std::vector<PatchLine> patches;
    std::vector<KeyLine> keys;
    std::array<ListRef, kListSectionCount> refs; ///< Control, RPN and NRPN (by section); others unused
};

/// What the pass over the lines collected. Deques, so that growing never moves what was collected.
struct RawFile
{
    std::deque<RawList> lists;
    std::deque<RawInstrument> instruments;
    bool sawSection = false;
};

/// Reads every line of `text` (LF, CR LF or CR line ends; a UTF-8 byte-order mark skipped).
void parseInsLines(std::string_view text, RawFile& raw, Diagnostics& warnings);

/// The names of the built-in patch lists, then "0" to "128" one after another.
std::string builtinNameText();

/// Resolves every reference of `raw` and fills the set's lists and instruments. `builtinNames` is
/// builtinNameText() inside the set's text.
void buildInsModel(RawFile& raw, std::string_view builtinNames, InstrumentSet& set, Diagnostics& warnings);

} // namespace quorvix::ins
