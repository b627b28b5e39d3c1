#pragma once

// Reader of Cakewalk instrument definition files (.ins). It reads the whole text once, keeps names where they
// stand, and resolves every reference (BasedOn, Patch[], Key[], Control, RPN, NRPN) after the whole file has
// been read, so that the order of lists and instruments in the file never matters.

#include "model/ReadResult.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix {

/// Whether the text holds one of the six section lines of an instrument definition file (".Patch Names",
/// ".Note Names", ".Controller Names", ".RPN Names", ".NRPN Names", ".Instrument Definitions") on a line of
/// its own.
bool looksLikeIns(std::string_view text);

/// Reads the bytes of an .ins file into instruments, one per definition, in file order:
/// - banks: the Patch[b] lines in file order (a bank given twice: the later list at the earlier place;
///   Patch[*] stands for bank 0 when no line names bank 0); under BankSelMethod=1 a bank of 0..127 is the
///   MSB;
/// - each bank's patch list with its BasedOn lists applied, programs ascending (a repeated number: the
/// later);
/// - Key[b,p] lines as the patches' note lists (Key[b,p] before Key[b,*] before Key[*,p] before Key[*,*],
///   which becomes the instrument's note list), Control, RPN and NRPN as its controller lists.
/// Fails for text without any section line, or with a NUL byte.
ReadResult readIns(std::string bytes);

/// Something the reader skipped or could not resolve; the file still loads.
struct InsWarning
{
    std::size_t line = 0; ///< 1-based line of the file
    std::string message;
};

/// A parsed .ins file, by definition index.
class InsFile
{
public:
    /// Parses the bytes of a whole file. Returns false, with error() set and nothing else kept, when the
    /// bytes are no instrument definition file.
    bool parse(std::string bytes);
    /// Reads the file at `path` and parses it; false with error() set when it cannot be read or parsed.
    bool load(const std::string& path);

    /// Why the last parse or load failed; empty after a success.
    const std::string& error() const { return m_error; }
    /// Warnings of the last parse, in line order.
    const std::vector<InsWarning>& warnings() const { return m_warnings; }

    /// Number of instruments in `.Instrument Definitions`, in file order.
    std::size_t definitionCount() const { return m_set.instruments.size(); }
    /// Name of the definition at `index` (bytes as read, trimmed).
    std::string_view definitionName(std::size_t index) const;
    /// Voices of the definition at `index`: its banks in order, in each the programs ascending. The names
    /// are the bytes as read, trimmed, valid as long as the InsFile lives and is not reloaded.
    std::vector<Voice> voices(std::size_t index) const;

    /// Everything the file describes.
    const InstrumentSet& set() const { return m_set; }

private:
    InstrumentSet m_set;
    std::string m_error;
    std::vector<InsWarning> m_warnings;
};

} // namespace quorvix
