#pragma once

// Inside the conversion of a Cubase script into an instrument definition: the script read once, its entry
// lines grouped by bank. Entries are kept as 8-byte records pointing into the script's bytes, which the
// conversion reads again when it writes them.

#include "formats/cubase/BankEntryStore.h"
#include "formats/cubase/BankRecordList.h"
#include "formats/cubase/CakewalkDefinitionWriter.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorvix {

struct ScriptLine;

/// The texts of one entry line that the definition keeps.
struct EntryText
{
    std::string_view programText;
    std::string_view patchName;
};

class ScriptBanks
{
public:
    ScriptBanks();

    /// Reads every line of the script, whose bytes must stay valid and unchanged while this object is used.
    /// False, with status, lineNumber and detail of `result` set, when the script cannot be converted. Lines
    /// that are left out are warned about in `result` either way.
    bool read(std::string_view script, DefinitionConversion& result);

    /// The script's bytes.
    std::string_view text() const { return m_script; }
    /// The banks in the order first seen; each record's patchListSlot is its bank in entries().
    BankRecordList& banks() { return m_banks; }
    std::int32_t bankCount() const { return m_bankCount; }
    BankEntryStore& entries() { return m_entries; }

    /// The same of a record; a program text made from the number is put into `digits`.
    EntryText entryOf(const EntryRecord& record, char (&digits)[16]) const;

    /// The 1-based line number of each offset into the script (in any order).
    std::vector<std::uint32_t> lineNumbers(const std::vector<std::uint32_t>& offsets) const;

private:
    /// The program text and the patch name of the entry whose text starts at `offset`, as read.
    EntryText entryAt(std::uint32_t offset) const;
    bool handleLine(const ScriptLine& line, DefinitionConversion& result);
    bool fileEntry(std::string_view text, DefinitionConversion& result);
    /// The text from `offset` to the end of its line: a CR before the LF and what follows a NUL cut off.
    std::string_view restOfLine(std::uint32_t offset) const;
    std::int32_t newBank(std::string_view bankText, std::string_view msbText, std::string_view lsbText,
                         bool threeNumbers, std::int32_t directKey, DefinitionConversion& result);

    std::string_view m_script;
    bool m_hasNul = false; ///< lines are cut at a NUL byte only when the script has one
    BankRecordList m_banks;
    BankEntryStore m_entries;
    std::int32_t m_bankCount = 0;
    std::vector<std::string> m_slotTexts;                            ///< the bank text of each bank
    std::unordered_map<std::string_view, std::int32_t> m_slotByText; ///< banks without a direct key
    std::vector<std::int16_t> m_slotByKey; ///< banks with a direct key, by that key; -1 for none
    std::int32_t m_lastSlot = -1;
    std::uint64_t m_lineNumber = 0;
    /// The line ends before each block of kLineBlock bytes of the script, so that a line number is found by
    /// counting within one block.
    std::vector<std::uint32_t> m_lineEndsBefore;
    std::uint64_t m_entryCount = 0;
};

} // namespace quorvix
