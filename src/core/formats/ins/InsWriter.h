#pragma once

// Writing instruments of the model as a Cakewalk instrument definition file (.ins): every list section
// (patch, note, controller, RPN and NRPN names) and the instrument definitions that use them.

#include "base/Diagnostic.h"
#include "base/OutputSink.h"
#include "base/TimeStamp.h"
#include "model/Instrument.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace quorvix {

struct InsWriteOptions
{
    std::string sourceName; ///< the file the instruments come from, named in the header comment
    TimeStamp stamp;        ///< the time in the header comment
};

/// The name with the blanks before every ";" dropped: in an .ins file a ";" after a blank starts a comment.
/// Sets `changed` when it drops any.
std::string withoutCommentStarts(std::string_view name, bool& changed);

/// A name as a line of an .ins file can hold it so that it reads back unchanged, as far as the format
/// allows: a ";" after a blank would start a comment, so the blanks before such a ";" are dropped; line
/// breaks and other control characters become spaces; blanks at either end are dropped (a reader trims
/// them). Sets `changed` when the result differs from `name` in more than its end blanks.
std::string insSafeName(std::string_view name, bool& changed);

/// Writes the instruments at `instruments` (indexes into set.instruments) as one .ins file, CR LF line ends:
/// a header comment, the lists they use, written once each under names unique in their section, and one
/// definition per instrument with BankSelMethod, Control, RPN, NRPN, Patch[b] and Key lines. Bank numbers
/// follow BankSelMethod (1: the MSB, 2: the LSB, 3: the selecting program - 100). Text is written in
/// Windows-1252 when every name fits it, else in UTF-8. Banks of one number whose programs differ share one
/// Patch[] line; banks of one number that name the same program go into further definitions of the
/// instrument, "NAME (BANK)", at their own numbers (see bankGroups). The lists of the instruments' devices
/// that no patch uses are written in their sections too. Warns about every name that had to change, about
/// each further definition and each device's unused lists, and about banks whose select messages differ from
/// what the method sends.
void writeIns(const InstrumentSet& set, std::span<const std::size_t> instruments,
              const InsWriteOptions& options, OutputSink& out, Diagnostics& warnings);

} // namespace quorvix
