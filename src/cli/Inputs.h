#pragma once

// The inputs of a command that takes several files: each read once and checked on its own (its warnings and
// errors name its path), then their instruments as one set, in the order the files were given.

#include "CliSupport.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix::cli {

struct Inputs
{
    std::vector<Input> files;                 ///< path, stem and format of each; the bytes are gone
    std::vector<std::size_t> firstInstrument; ///< the index of each file's first instrument in the set
    ReadResult read;                          ///< the instruments of them all; the warnings are printed

    /// The input that instrument `index` of the set comes from.
    const Input& inputOf(std::size_t index) const;
    /// What messages say holds the instruments: the quoted path of one file, "the N files" of several.
    std::string holder() const;
    /// The path messages about all of them start with: the one file's, else the files' joined by ", ".
    std::string shownPaths() const;
    /// The file names (without folders) as a header comment names the source, joined by ", ".
    std::string sourceName() const;
    /// The file name of the input instrument `index` comes from.
    std::string sourceNameOf(std::size_t index) const;
    /// True when a file is of a format whose names are UTF-8 text.
    bool anyUtf8Format() const;
};

/// Reads every path (readInput with `message` and `notTextMessage`, then readModel, which ends the command at
/// the first file that cannot be used) and puts their instruments into one set (see mergedSets). `first`,
/// when given, is the first path's input, read already.
Inputs readInputs(const std::vector<std::string>& paths, std::string_view message,
                  std::string_view notTextMessage = {}, std::optional<Input> first = std::nullopt);

/// The help of a FILE argument that takes several: inputHelp() and what several do.
std::string inputsHelp(const FormatRow* last = nullptr);

} // namespace quorvix::cli
