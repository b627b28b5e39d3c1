#pragma once

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
void setupToCubaseCommand(CLI::App& app);
void setupToCakewalkCommand(CLI::App& app);
void setupToMidnamCommand(CLI::App& app);
void setupToReabankCommand(CLI::App& app);

} // namespace quorvix::cli
