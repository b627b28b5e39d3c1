#pragma once

// The shape every command that writes files per instrument shares (to-cubase, to-midnam, to-reabank, ...):
// read the input once, choose instruments, write each file whole, --all (and an instrument that a format
// writes as several files) into a folder with unique file names.

#include "CliSupport.h"
#include "Inputs.h"
#include "NameFiles.h"
#include "base/FileNames.h"

#include <functional>
#include <string>
#include <string_view>

namespace quorvix::cli {

struct WriterOptions
{
    std::vector<std::string> files;
    Selection selection;
    OutputOptions output;
    NameFileOptions names;
};

/// Registers FILE (one or more), --index, --definition, --all, -o, --force, --controllers and --drum-notes.
void addWriterOptions(CLI::App& command, WriterOptions& options, const std::string& outputHelp);

/// What a writer command does with each chosen instrument.
struct InstrumentWriter
{
    /// The file extension with its dot (".txt", ".midnam").
    std::string extension;
    /// The name the default file name is made from (letters, digits, spaces and underscores are kept).
    std::function<std::string(const InstrumentSet&, const Instrument&)> fileStemName;
    /// Writes the instrument, or its part `part` (see parts); warnings go to `warnings`. With --all it runs
    /// on several threads at once.
    std::function<void(const InstrumentSet&, const Instrument&, std::size_t part, OutputSink&, Diagnostics&)>
        write;
    /// When set: the instrument whose file also holds instrument `index`; of the chosen instruments one file
    /// is written per such instrument.
    std::function<std::size_t(const InstrumentSet&, std::size_t index)> fileOf;
    /// When set: how many files instrument `index` is written as (else one); -o may then name a folder for
    /// one file too.
    std::function<std::size_t(const InstrumentSet&, std::size_t index)> parts;
};

/// Ends the command with a usage error for options that do not fit together (--all with -o -).
void checkWriterOptions(const WriterOptions& options);

/// A folder that files are to be written into, checked before any is written.
struct OutputFolder
{
    std::string path;     ///< as given; empty for the current folder
    bool missing = false; ///< nothing is there yet: makeOutputFolder makes it
};

/// Checks the folder: ends the command with "PATH: is not a folder" when something else is there, and with
/// "PATH: the folder cannot be opened: REASON" when the system cannot tell.
OutputFolder checkOutputFolder(const std::string& path);

/// Makes a missing folder with its parents and says so ("created folder PATH"); ends the command with
/// "PATH: the folder cannot be made: REASON" when it cannot.
void makeOutputFolder(const OutputFolder& folder);

/// Where the chosen instruments go (one file: -o PATH, -o - or the default name in the current folder, or,
/// for a writer with parts, in the folder -o names; --all, or an instrument written as several files: every
/// file in the -o folder), checked before anything is written.
struct WriterPlan
{
    std::vector<std::size_t> chosen;   ///< the instrument of each file (once per file of an instrument)
    std::vector<std::size_t> parts;    ///< which of its instrument's files each is, from 0
    std::vector<OutputTarget> targets; ///< one for each
    OutputFolder folder;               ///< with several files, the folder
};

/// Chooses the instruments and their files (of several inputs, without --index or --definition, every
/// instrument as with --all); ends the command when one of the files may not be written (mayReplace), the
/// folder is something else, or an instrument written as several files has no folder.
WriterPlan planWriterOutputs(const WriterOptions& options, const InstrumentWriter& writer,
                             const Inputs& inputs);

/// Makes the plan's folder when missing and writes every instrument to its file (its warnings name the
/// input it comes from); ends the command when one failed.
void writePlannedOutputs(const WriterPlan& plan, const InstrumentWriter& writer, const Inputs& inputs);

/// Adds the names of --controllers and --drum-notes to every instrument of the plan's files.
void addNamesToPlan(const WriterOptions& options, const WriterPlan& plan, const InstrumentWriter& writer,
                    InstrumentSet& set);

/// Plans, adds the names of other files, then writes. Returns the chosen instruments' indexes.
std::vector<std::size_t> runWriterCommand(const WriterOptions& options, const InstrumentWriter& writer,
                                          Inputs& inputs);

/// The InstrumentWriter of a row of the format table, whose files are written by `write` (instrument index,
/// part, sink, warnings).
InstrumentWriter writerOf(
    const FormatRow& row,
    std::function<void(const InstrumentSet&, std::size_t, std::size_t, OutputSink&, Diagnostics&)> write);

/// The default file name's stem for a name (fileStemFrom; `fallback` when nothing visible is left).
std::string fileStemOf(std::string_view name, std::string_view fallback = kUnnamedFileStem);

} // namespace quorvix::cli
