#pragma once

// The table of formats: one row per format Quorvix reads or writes, with everything the rest of the program
// needs to know of it. Detection, messages, the command-line converter's sub-commands and the window's file
// dialogs are all made from these rows; adding a format is adding a folder under formats/ and one row.

#include "base/Diagnostic.h"
#include "base/OutputSink.h"
#include "base/TimeStamp.h"
#include "model/ReadResult.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix {

enum class FileFormat
{
    Unknown,
    Ins,          ///< a Cakewalk instrument definition file
    CubaseScript, ///< a Cubase patchname script
    Midnam,       ///< a MIDNAM document
    Reabank,      ///< a REAPER bank file
    Rosegarden,   ///< a Rosegarden device file
    Muse,         ///< a MusE instrument definition file
    Csv,          ///< a CSV table: a patch list, a note or controller table
    Hapax,        ///< a Squarp Hapax instrument definition
};

/// How a format's names are stored.
enum class FormatEncoding
{
    Windows1252UnlessUtf8, ///< bytes as they are: Windows-1252 text unless it is valid UTF-8
    Utf8,                  ///< UTF-8 text; names from other formats are converted to it
};

/// Which of the window's messages names an input of the format that cannot be used.
enum class InputFailure
{
    OpenInsFailed,   ///< "Error Open InsDef-File"
    NoWindowsScript, ///< "Error: No Windows Patchname Script"
    ConvertFailed,   ///< "Error Convert"
};

/// What a format can hold of the instrument model.
struct FormatCarries
{
    bool drumNotes = false;   ///< note names per patch
    bool controllers = false; ///< controller names
    bool rpnNrpn = false;     ///< RPN and NRPN names
    bool nameSets = false;    ///< several name sets (channel assignments) of one device in one file
    bool bankMethods = false; ///< bank-select methods other than CC0 + CC32
    /// The voices of a bank selected with a program change (a format that cannot send one leaves them out).
    bool programBanks = true;
};

/// What a writer is told besides the instrument.
struct WriteSettings
{
    std::string sourceName; ///< the file the instruments come from (UTF-8), for a header comment
    TimeStamp stamp;        ///< the time for a header comment
    /// The source format's names are UTF-8 text to be converted for a Windows-1252 target.
    bool sourceIsUtf8 = false;
    /// The values of the writer's own options (FormatWriter::options), in their order; empty when not given.
    std::vector<std::string> values;
    /// Which of the files of the instrument's output to write (FormatWriter::parts), from 0.
    std::size_t part = 0;
};

/// An option of one format's writer, offered by its command-line sub-command as "--FLAG VALUE".
struct WriterOption
{
    std::string flag;     ///< "--manufacturer"
    std::string help;     ///< the sub-command's help text of it
    std::string typeName; ///< what the help calls its value ("NAME"); empty for CLI11's default
    /// The values it takes, the first of them its default; empty when it takes any text.
    std::vector<std::string> choices = {};
};

/// The file name's stem most formats take: the instrument's name, as UTF-8.
std::string instrumentNameStem(const InstrumentSet& set, std::size_t instrument);

/// One instrument a file: the file of instrument `index` is its own.
std::size_t ownFile(const InstrumentSet& set, std::size_t index);

/// One file an instrument: the output of every instrument is one part.
std::size_t onePart(const InstrumentSet& set, std::size_t index);

/// The stem of file `part` (from 0) of an output of `parts` files: the stem itself for one file, else the
/// stem (cut to leave room in a file name) and the part's number from 1, with leading zeros to the width of
/// `parts` so that the files sort in their order ("Synth 01" ... "Synth 12").
std::string partFileStem(std::string_view stem, std::size_t part, std::size_t parts);

/// How a format is written. Every function is set.
struct FormatWriter
{
    std::string command;    ///< the command-line sub-command, "to-midnam"
    std::string summary;    ///< its one-line description
    std::string outputHelp; ///< the help of its -o option
    std::string footer;     ///< what its help says below the options (format rules, examples)
    std::vector<WriterOption> options;
    /// The file name's stem for an instrument (letters, digits, spaces and underscores of it are kept).
    std::string (*fileStem)(const InstrumentSet& set, std::size_t instrument) = instrumentNameStem;
    /// The instrument whose file also holds instrument `index` (itself, for one instrument a file).
    std::size_t (*fileOf)(const InstrumentSet& set, std::size_t index) = ownFile;
    /// How many files the output of instrument `index` (one fileOf names) is, at least 1: a format whose
    /// files hold a limited number of voices writes a larger instrument as several, named by partFileStem.
    std::size_t (*parts)(const InstrumentSet& set, std::size_t index) = onePart;
    /// Writes the file of instrument `instrument` (see fileOf), or its part settings.part (see parts);
    /// warnings go to `warnings`. Runs on several threads at once for different instruments or parts.
    void (*write)(const InstrumentSet& set, std::size_t instrument, const WriteSettings& settings,
                  OutputSink& out, Diagnostics& warnings) = nullptr;
    /// write() itself warns when the file names nothing (what it holds depends on the options); otherwise
    /// the caller does, with warnWhenEmpty.
    bool saysWhenEmpty = false;
};

struct FormatRow
{
    FileFormat format = FileFormat::Unknown;
    std::string_view name;     ///< "MIDNAM document"
    std::string_view plural;   ///< "MIDNAM documents"; empty for a format that is only read
    std::string_view listed;   ///< as the message for a file of no format lists it: "a MIDNAM document"
    std::string_view helpName; ///< as a command's help names an input of it: "a MIDNAM document"
    std::string_view fileType; ///< a file dialog's name of its files: "MIDNAM Files"
    /// The extensions of its files, with their dot, in lower case; the first is the one written.
    std::vector<std::string_view> extensions;
    FormatEncoding encoding = FormatEncoding::Windows1252UnlessUtf8;
    bool wideText = false; ///< may be UTF-16 or UTF-32 text
    InputFailure failure = InputFailure::ConvertFailed;
    FormatCarries carries;
    /// True when the bytes are of this format: the first kDetectionBytes of a file, or all of it when
    /// `looksPastHead`.
    bool (*recognise)(std::string_view bytes) = nullptr;
    bool looksPastHead = false;
    /// True when the first bytes of a longer file end where recognise() needs more to decide.
    bool (*needsMore)(std::string_view head) = nullptr;
    /// recognise() and read() take the file's gzip-compressed bytes as they are (and unpack them as they
    /// read); any other format is given what such bytes unpack to.
    bool readsCompressed = false;
    /// Reads the bytes; `fileStem` names an instrument when the file names none.
    ReadResult (*read)(std::string bytes, std::string_view fileStem) = nullptr;
    /// How it is written; no command when `command` is empty.
    FormatWriter writer;
    /// The program that reads files of the format: its name for `check --for` ("ardour"), empty for a format
    /// no one program reads, and how messages name it ("Ardour").
    std::string_view program;
    std::string_view programName;
    /// Puts into `problems` what the program refuses, ignores or shows otherwise in a file of the format
    /// (the bytes as read() takes them), each at its line where it has one. Set when `program` is.
    void (*check)(std::string_view bytes, Diagnostics& problems) = nullptr;
};

/// Every format, in the order they are listed to the user.
std::span<const FormatRow> formatTable();

/// The row whose program is named `program` (as `check --for` takes it); nullptr when none is.
const FormatRow* formatOfProgram(std::string_view program);

/// The row of a format; nullptr for Unknown.
const FormatRow* formatRow(FileFormat format);

/// The row whose extensions hold the path's (in any letter case); nullptr when none does.
const FormatRow* formatOfExtension(std::string_view path);

/// Warns when the file the row writes for instrument `index` (with the instruments fileOf puts beside it,
/// which follow it) holds no patch and none of the note or controller names the format carries: a file that
/// its program refuses or shows as empty is never written without a word.
void warnWhenEmpty(const FormatRow& row, const InstrumentSet& set, std::size_t index, Diagnostics& warnings);

/// The rows' texts `field` joined as a sentence lists them: "A, B, C or D" (rows without one left out).
std::string listedFormats(std::string_view FormatRow::*field, std::string_view last = " or ");

} // namespace quorvix
