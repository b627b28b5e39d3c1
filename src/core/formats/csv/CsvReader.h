#pragma once

// Reader of CSV tables (spreadsheets saved as text): patch lists, to-csv's own tables and midi.guide's
// controller and trigger tables. A table is recognised by its header row, the first row of the file, whose
// cells name its columns (see CsvColumns.h); its separator is the one of ",", ";" and tab that the header
// row holds most. A UTF-8 byte-order mark is skipped; names are UTF-8 when the whole file is, else
// Windows-1252.
//
// - A patch list has a program column ("program", "prog", "pc", "program change") and a name column
//   ("name", "patch", "preset"); "msb" ("bank msb", "cc0"), "lsb" ("bank lsb", "cc32"), "bank" (the 14-bit
//   number MSB * 128 + LSB), "bank_name" and "device" may stand beside them. Programs are counted from 0,
//   unless the column holds 128 and never 0: then from 1 (said in a warning). Rows of one device (the
//   device column, else the file's name) are one instrument; rows of one bank number, bank select and bank
//   name one bank. An empty MSB or LSB cell is a byte that is not sent.
// - to-csv's note table ("device,list,note,name") gives each device its note lists, the first as the
//   instrument's; its controller table ("device,type,number,name", type cc, cc14, rpn or nrpn) the
//   controller, RPN and NRPN names.
// - A midi.guide controller table gives one instrument per device with controller names only:
//   parameter_name at cc_msb (a 14-bit pair with cc_lsb = cc_msb + 32) and at NRPN nrpn_msb * 128 +
//   nrpn_lsb. A triggers table gives a note list per section: sound_name at note_number_default_value.
// A row that does not fit (too few cells, a cell that is no number or out of range) is skipped
// with a warning naming its line; a row of empty cells is passed over. The read fails when the header
// names no table, or when no row could be read.

#include "model/ReadResult.h"

#include <string>
#include <string_view>

namespace quorvix {

/// True when the first row of `head` is the header row of a table readCsv reads.
bool looksLikeCsv(std::string_view head);

/// Reads a CSV table; `fileStem` names the instrument of a table without a device column.
ReadResult readCsv(std::string bytes, std::string_view fileStem);

} // namespace quorvix
