#pragma once

// What a Squarp Hapax takes in an instrument definition, shared by the reader (which names every line the
// device would refuse) and the writer (which never writes one). A definition is plain text, one statement
// a line; "#" starts a comment anywhere, also inside a name; keywords are read in any letter case:
//
//   VERSION 1                    header directives: VERSION, TRACKNAME, TYPE, OUTPORT, OUTCHAN, INPORT,
//   TRACKNAME My Synth           INCHAN, MAXRATE, each with one value (NULL: leave the track's setting)
//   TYPE DRUM
//   [DRUMLANES]                  ROW:TRIG:CHAN:NOTENUMBER NAME   (rows 1-8, 1-16 from firmware 3.10)
//   [PC]                         PC NAME or PC:MSB:LSB NAME      (PC 1-128, NULL: that byte not sent)
//   [CC] [CC_PAIR] [NRPN]        CC[:DEFAULT=x] NAME, MSB:LSB NAME, MSB:LSB:DEPTH[:DEFAULT=x] NAME
//   [ASSIGN] [AUTOMATION] [COMMENT], each closed by [/NAME]
//
// The device refuses the whole file at its first line that breaks a rule ("syntax error line N").

#include "base/Encoding.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorvix::hapax {

/// The most [PC] lines Squarp documents for one definition.
inline constexpr std::size_t kMostPcLines = 128;
/// Drum lanes: rows 1 to 8; firmware 3.10 and later take rows up to 16.
inline constexpr int kRows = 8;
inline constexpr int kMostRows = 16;

/// True for a character the Hapax takes in a name: ASCII letters and digits, the space and
/// _ - + ! " $ ' ( ) * , . / : < = > ? @ ("#" starts a comment).
bool isNameCharacter(char c);

/// The first character of `name` (bytes in `encoding`) that the Hapax refuses in a name, as UTF-8; empty
/// when it takes them all.
std::string refusedCharacter(std::string_view name, TextEncoding encoding);

enum class Section : unsigned char
{
    None, ///< outside every section: header directives
    DrumLanes,
    Pc,
    Cc,
    CcPair,
    Nrpn,
    Assign,
    Automation,
    Comment,
    Unknown, ///< a section the Hapax does not know
};

/// The section of a header's name (the text between the brackets), in any letter case.
Section sectionNamed(std::string_view name);
/// "PC", "DRUMLANES", ... as the header writes it.
std::string_view sectionName(Section section);

enum class Directive : unsigned char
{
    Version,
    TrackName,
    Type,
    OutPort,
    OutChan,
    InPort,
    InChan,
    MaxRate,
};

/// The directive a keyword names, in any letter case.
std::optional<Directive> directiveNamed(std::string_view keyword);
/// "VERSION", "TRACKNAME", ...
std::string_view directiveName(Directive directive);
/// Empty when the Hapax takes the value for the directive; else what it takes ("1 to 16 or NULL").
std::string_view directiveValueProblem(Directive directive, std::string_view value);

/// A line as the Hapax reads it: without its comment and the blanks around what is left.
std::string_view statementOf(std::string_view line);

/// True when the statement opens or closes a section ("[PC]", "[/pc]"); `name` is what stands between the
/// brackets (without the "/"), `closing` whether it is a "[/...]".
bool isSectionLine(std::string_view statement, std::string_view& name, bool& closing);

/// True when the head of a file reads as a Hapax definition: its first statement (past blank lines, "#"
/// comments and a UTF-8 byte-order mark) is a known header directive with a value it takes, or opens a
/// known section.
/// Cubase scripts ("[cubase parse file]"), .ins files and REAPER files never pass.
bool looksLikeDefinition(std::string_view head);

} // namespace quorvix::hapax
