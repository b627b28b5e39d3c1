#pragma once

// One entry line of a Cubase patchname script, "[p2, program, msb, lsb] name", taken apart the way every
// reader of these scripts takes it apart.

#include <string_view>

namespace quorvix {

/// Whether a line (after leading spaces) is an entry line: "[", a lowercase "p" and a digit.
inline bool isEntryLine(std::string_view text)
{
    return text.size() >= 3 && text[0] == '[' && text[1] == 'p' && text[2] >= '0' && text[2] <= '9';
}

/// The parts of an entry line, as views into it.
struct EntryFields
{
    std::string_view programText; ///< the first number's digits (maybe empty)
    std::string_view secondText;  ///< the second number's digits; with one number, the program's again
    std::string_view thirdText;   ///< the third number's digits; empty with fewer than three numbers
    std::string_view name;        ///< the rest of the line after "]" and the blanks that follow it
    bool threeNumbers = false;
    bool secondNegative = false; ///< a "-" stood before the second number's digits
    bool thirdNegative = false;  ///< a "-" stood before the third number's digits
};

/// Takes apart an entry line that starts at its "[" (see isEntryLine). The numbers are runs of digits: a sign
/// before them is only noted. Without a comma after the program the second number is read from the program
/// digits again; without a "]" the name is empty.
EntryFields parseEntryLine(std::string_view text);

} // namespace quorvix
