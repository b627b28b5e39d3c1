#pragma once

// Writer of CSV spreadsheets: one instrument as an RFC 4180 table that spreadsheets open as they are.
// UTF-8 with a byte-order mark (which spreadsheets take as the sign of UTF-8), CR LF line ends, a header
// row, fields quoted only where they hold a comma, a quote, a line break or blanks at either end.
//
// - Voices: "device,bank,bank_name,msb,lsb,program,name", one row per voice, banks by number (banks of one
//   number in the instrument's order), in each its programs ascending. `bank` is the 14-bit number MSB *
//   128 + LSB, `msb` and `lsb` the bytes the bank select sends (empty when it does not send one), `program`
//   the program change 0..127 as sent.
// - Notes: "device,list,note,name", every note list the instrument and its patches use, then its device's
//   lists that no patch uses, each by note.
// - Controllers: "device,type,number,name" with type cc (0..127), cc14 (a 14-bit pair by its MSB
//   controller, 0..31), rpn or nrpn (0..16383): the instrument's lists, then its device's spare ones.
// What the table cannot hold is named in a warning: a bank selected with a program change, programs outside
// 0..127, and in a table of voices the note and controller names it leaves out.

#include "base/Diagnostic.h"
#include "base/OutputSink.h"
#include "model/Instrument.h"

#include <optional>
#include <string_view>

namespace quorvix {

/// What a CSV spreadsheet of an instrument holds.
enum class CsvContent : unsigned char
{
    Voices,
    Notes,
    Controllers,
};

/// The content a name stands for: "voices", "notes" or "controllers"; nothing for any other text.
std::optional<CsvContent> csvContentNamed(std::string_view name);

/// Streams the table of `instrument` (one of `set`'s) into `out`; what it leaves out goes to `warnings`.
void writeCsv(const InstrumentSet& set, const Instrument& instrument, CsvContent content, OutputSink& out,
              Diagnostics& warnings);

} // namespace quorvix
