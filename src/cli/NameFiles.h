#pragma once

// --controllers FILE and --drum-notes FILE, which every writer takes: names of another file (any format
// Quorvix reads) added to the definitions it writes.

#include "CliSupport.h"

#include <cstddef>
#include <string>
#include <vector>

namespace quorvix::cli {

struct NameFileOptions
{
    std::string controllers;
    std::string drumNotes;
    CLI::Option* controllersOption = nullptr;
    CLI::Option* drumNotesOption = nullptr;

    /// True when either file is given.
    bool given() const { return controllersOption->count() + drumNotesOption->count() > 0; }
};

/// Registers --controllers FILE and --drum-notes FILE.
void addNameFileOptions(CLI::App& command, NameFileOptions& options);

/// Reads the files the options name and adds their names to the instruments `chosen` of `set`: the
/// controller, RPN and NRPN names of --controllers, the note list of --drum-notes for their drum voices.
/// Prints the files' warnings and what the adding warns about (names both name differently: the
/// definition's are kept); ends the command when a file cannot be read or holds no such names.
void addNamesFromFiles(const NameFileOptions& options, InstrumentSet& set,
                       const std::vector<std::size_t>& chosen);

} // namespace quorvix::cli
