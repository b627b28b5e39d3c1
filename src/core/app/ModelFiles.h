#pragma once

// The files the main window reads and writes through the instrument model rather than through its own
// line-based conversions (of .ins files and Cubase scripts): "Save Script" writes the chosen definition in
// any other format of the format table, and "Convert to Cakewalk Instrumentdefinition" reads any other
// format into an .ins text.

#include "base/Diagnostic.h"
#include "base/FileWriter.h"
#include "base/TextLines.h"
#include "base/TimeStamp.h"
#include "formats/Formats.h"
#include "formats/ins/InsWriter.h"
#include "model/ReadResult.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix {

/// True for a format the window reads and writes through the instrument model: one of the table other
/// than the window's own two.
bool throughModel(FileFormat format);

/// The "Load Cubase Patchname Script" dialog's filter: the window's own entries, then one per format read
/// through the model.
std::string scriptOpenFilter();

/// The "Save Script" dialog's filter: the script's own type, then one per format written through the model.
std::string scriptSaveFilter();

/// The format for a name chosen in the "Save Script" dialog: for the extension ".txt" the converted script
/// (nullptr), unless the file type selected is a format whose files have that extension too; else the
/// format whose extension the name has, else the one of the file type selected in the dialog (0 the script,
/// then scriptSaveFilter's order; any other counts as the first).
const FormatRow* scriptSaveFormat(std::string_view path, std::size_t fileType);

/// The files writeInstrumentFile writes for `path`: the path itself, or, for an instrument the format
/// writes as several files, the path with each part's number after its stem ("Synth 1.txt", ...).
std::vector<std::string> instrumentFilePaths(const FormatRow& format, const std::string& path,
                                             const InstrumentSet& set, std::size_t instrument);

/// Writes instrument `instrument` of `set` to `path` (or to each of instrumentFilePaths) in the format, each
/// file whole or not at all, stopping at the first that fails; the writer's warnings go to `warnings`.
/// `sourceName` (the file the set came from) and `stamp` go into the header comment.
WriteResult writeInstrumentFile(const FormatRow& format, const std::string& path, const InstrumentSet& set,
                                std::size_t instrument, const std::string& sourceName, const TimeStamp& stamp,
                                Diagnostics& warnings);

/// A file of a format read through the model, for conversion to an instrument definition.
struct InstrumentDocument
{
    ReadResult read;
    /// What the name dialog proposes, in the set's encoding: the first instrument's device model name, else
    /// that instrument's name; empty when the read failed or found no instrument.
    std::string proposedName;
};

/// Reads the document; `path` gives the stem that names an instrument when the file names none.
InstrumentDocument readInstrumentDocument(std::string bytes, FileFormat format, std::string_view path);

/// The read's failure as the window adds it after the path: "line L, column C: MESSAGE" (the place as far
/// as known), or "holds no instrument" for a read that found none; empty when the document is usable.
std::string documentFailure(const InstrumentDocument& document);

/// The .ins text of every instrument of the document, as lines without their CR LF. `typedName` names the
/// instruments: it is the proposal itself (bytes as proposed) or Windows-1252 text the user typed. With one
/// instrument it is that instrument's name. With several, it takes the place of the proposal at the start
/// of every name that starts with it ("Tone 1 (Drums)" becomes "TYPED (Drums)"); other instruments keep
/// their names. The reader's and the writer's warnings go to `warnings`.
TextLines definitionLinesOf(InstrumentDocument& document, std::string_view typedName,
                            const InsWriteOptions& options, Diagnostics& warnings);

/// The message, then (when there are any) a blank line and the first warnings, one a line as
/// "FILE:LINE: warning: TEXT", and how many more there are.
std::string withWarnings(std::string message, std::string_view fileName, const Diagnostics& warnings);

/// A failure's message as the window shows it: the message itself on the first line, then the file and why
/// (nothing more when the reason is empty).
std::string withReason(std::string_view message, std::string_view path, std::string_view reason);

/// True when the path's file name ends with "." and the extension (ASCII letters in any case).
bool hasExtension(std::string_view path, std::string_view extension);

/// The file name of a path: what follows its last "/" (or "\").
std::string fileNameOf(std::string_view path);

} // namespace quorvix
