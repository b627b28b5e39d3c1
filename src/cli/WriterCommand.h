#pragma once

// The shape every command that writes one file per instrument shares (to-cubase, to-midnam, to-reabank):
// read the input once, choose instruments, write each whole, --all into a folder with unique file names.

#include "CliSupport.h"

#include <functional>
#include <string>
#include <string_view>

namespace quorvix::cli {

struct WriterOptions
{
    std::string file;
    Selection selection;
    OutputOptions output;
};

/// Registers FILE, --index, --definition, --all, -o and --force.
void addWriterOptions(CLI::App& command, WriterOptions& options, const std::string& outputHelp);

/// What a writer command does with each chosen instrument.
struct InstrumentWriter
{
    /// The file extension with its dot (".txt", ".midnam").
    std::string extension;
    /// The name the default file name is made from (letters, digits, spaces and underscores are kept).
    std::function<std::string(const InstrumentSet&, const Instrument&)> fileStemName;
    /// Writes the instrument; warnings go to `warnings`. With --all it runs on several threads at once.
    std::function<void(const InstrumentSet&, const Instrument&, OutputSink&, Diagnostics&)> write;
    /// When set: the instrument whose file also holds instrument `index`; of the chosen instruments one file
    /// is written per such instrument.
    std::function<std::size_t(const InstrumentSet&, std::size_t index)> fileOf;
};

/// Ends the command with a usage error for options that do not fit together (--all with -o -).
void checkWriterOptions(const WriterOptions& options);

/// Runs the command: every chosen instrument to its file (one file: -o PATH, -o - or the default name in the
/// current folder; --all: one file each in the -o folder). Returns the chosen instruments' indexes.
std::vector<std::size_t> runWriterCommand(const WriterOptions& options, const InstrumentWriter& writer,
                                          Input& input, ReadResult& read);

/// The default file name's stem for a name: its ASCII letters, digits, spaces and underscores.
std::string fileStemOf(std::string_view name);

} // namespace quorvix::cli
