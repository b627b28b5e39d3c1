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

/// What an .ins line may hold of a name. The model's writer and the window's conversion of a script keep
/// different rules, so that neither changes the bytes it has always written.
enum class InsNameRule
{
    /// Every name the model's writer writes: control characters (a tab aside) become spaces, the blanks
    /// before a ";" are dropped (a ";" after a blank starts a comment), and so are blanks at either end (a
    /// reader trims them).
    Model,
    /// Patch names and the instrument heading of the window's conversion of a script: control characters
    /// stay, a CR with more of the name after it becomes a space (it would end the line for every reader;
    /// CRs at the end stay: the reader ends the line there and gets the same name), and the blanks before a
    /// ";" are dropped.
    Window,
    /// The instrument name in the header comment of the window's conversion ("; Instrument: NAME"): CR, LF
    /// and NUL become spaces, as they would split the line; a ";" stays in a comment.
    WindowComment,
};

/// A name as an .ins line holds it.
struct InsName
{
    std::string_view text; ///< the name itself when it needed no change, else the caller's scratch string
    std::string_view
        change; ///< why it differs from the name (for Model: beyond blanks at its ends); empty if not
};

/// `name` as a line of an .ins file may hold it under `rule`, so that it reads back as far as the format
/// allows. A name is copied into `scratch` (which must outlive the result) only when the rule may change it.
InsName insName(std::string_view name, InsNameRule rule, std::string& scratch);

/// insName with InsNameRule::Model, as a string; sets `changed` when the result differs from `name` in more
/// than its end blanks.
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
