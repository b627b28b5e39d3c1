#pragma once

#include "formats/FormatTable.h"

#include <CLI/CLI.hpp>

// Each sub-command registers its options and its action on the application.

namespace quorvix::cli {

/// Exit statuses of quorvix-convert.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1; ///< a file or conversion error
inline constexpr int kExitUsage = 2;   ///< a usage error

/// Thrown by a command to end the program with an exit status after it has printed its message.
struct CommandExit
{
    int status;
};

void setupListCommand(CLI::App& app);
void setupShowCommand(CLI::App& app);
/// check FILE [--for PROGRAM]: what the program refuses, ignores or shows otherwise.
void setupCheckCommand(CLI::App& app);
/// The sub-command that writes the row's format: the one every writer shares, or the format's own where it
/// does more (to-cakewalk converts scripts as the window does; to-reabank also writes note-name files).
void setupWriterCommand(CLI::App& app, const FormatRow& row);
void setupToCakewalkCommand(CLI::App& app, const FormatRow& row);
void setupToReabankCommand(CLI::App& app, const FormatRow& row);

} // namespace quorvix::cli
