#pragma once

#include "legacy/ZT_midifile.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix::test {

/// A voice record with the given numbers and name (cut to fit its field).
ZT_cwbankvoice makeVoice(std::int32_t bank, std::int32_t program, std::string_view name = "V");

/// The sixteen voice family titles of the script groups, in program order (eight programs each).
inline constexpr std::array<const char*, 16> kVoiceFamilies = {"Piano",         "Chromatic Percussion",
                                                               "Organ",         "Guitar",
                                                               "Bass",          "Strings",
                                                               "Ensemble",      "Brass",
                                                               "Reed",          "Pipe",
                                                               "Synth Lead",    "Synth Pad",
                                                               "Synth Effects", "Ethnic",
                                                               "Percussive",    "Sound Effects"};

/// tests/data of the source tree.
std::filesystem::path dataDir();

/// The shared corpus folder when it exists; nullopt otherwise (tests then skip).
std::optional<std::filesystem::path> corpusDir();

/// The quorvix-convert program built with the tests.
std::filesystem::path convertExe();

/// Whole file as bytes; throws std::runtime_error when it cannot be read.
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, std::string_view bytes);

/// The names of the entries of a folder.
std::set<std::string> entriesOf(const std::filesystem::path& folder);

/// Splits bytes at CR LF (the format the program writes); a missing final line end is an error.
std::vector<std::string> splitCrLf(std::string_view bytes);

/// A fresh folder under the system's temporary folder, removed with everything in it at destruction.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(std::string_view name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

/// Result of running a program: exit status and what it printed.
struct RunResult
{
    int status = -1;
    std::string out;
    std::string err;
};

/// Runs a program (a path, or a name looked up in PATH) with the arguments (no shell), optionally in a
/// working folder and with extra environment entries ("NAME=value"); stdin is empty. `inChild` runs in the
/// child just before the program starts (after its output is redirected), to drop privileges or set limits;
/// it must only make system calls. Status 127 when the program cannot be started.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::filesystem::path& workingDir = {},
                     const std::vector<std::string>& environment = {},
                     const std::function<void()>& inChild = {});

/// runProgram for quorvix-convert.
RunResult runConvert(const std::vector<std::string>& args, const std::filesystem::path& workingDir = {},
                     const std::vector<std::string>& environment = {},
                     const std::function<void()>& inChild = {});

/// Runs `body` on a thread with a stack of 256 KiB (where the system lets the stack size be chosen; else on
/// an ordinary thread) and waits for it.
void onSmallStack(const std::function<void()>& body);

/// "status N", then what the program printed (cut to 2000 bytes each), for failure messages.
std::string describe(const RunResult& run);

/// Runs `body` in a child process, as an unprivileged user (nobody) when asked and when the tests run as
/// root, and returns what it returned; "child failed" when it could not run.
std::string inChild(bool unprivileged, const std::function<std::string()>& body);

} // namespace quorvix::test

/// Skips the current test when the shared corpus is absent.
#define QUORVIX_REQUIRE_CORPUS(dir)                                                                          \
    auto dir##Opt = ::quorvix::test::corpusDir();                                                            \
    if (!dir##Opt)                                                                                           \
        GTEST_SKIP() << "shared corpus not found at " QUORVIX_CORPUS_DIR ", skipping real-file test";        \
    const std::filesystem::path dir = *dir##Opt
