// Faults while quorvix-convert saves its result: the existing file stays as it was, no temporary file is left
// behind, and the message says why. Both conversions save through the same path, so each case runs for both.
// The faults are made with POSIX permissions, file size limits and devices; the Windows counterparts (a
// read-only or open file) are in tests/core/TestPlatform.cpp.

#if !defined(_WIN32)

#include "TestSupport.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using quorvix::test::readFile;
using quorvix::test::RunResult;
using quorvix::test::TempDir;
using quorvix::test::writeFile;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

const std::string kOld = "the user's precious file\r\n";

std::set<std::string> folderEntries(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

/// How the child runs: as an unprivileged user (when we are root, permissions would not bite), and with a
/// limit on the size of files it writes (a stand-in for a full disk).
struct Restrictions
{
    bool unprivileged = false;
    rlim_t fileSizeLimit = RLIM_INFINITY;
};

/// Runs quorvix-convert like runConvert, under the restrictions.
RunResult runRestricted(const std::vector<std::string>& args, const Restrictions& restrictions)
{
    return quorvix::test::runConvert(args, {}, {"SOURCE_DATE_EPOCH=1700000000"}, [&restrictions] {
        if (restrictions.unprivileged && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(126);
        if (restrictions.fileSizeLimit != RLIM_INFINITY) {
            // A write beyond the limit then fails with EFBIG instead of a signal.
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{restrictions.fileSizeLimit, restrictions.fileSizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                ::_exit(125);
        }
    });
}

/// The two conversions, each with an input that every user can read, writing to `target`.
struct Command
{
    const char* name;
    std::function<std::vector<std::string>(const fs::path& inputs, const std::string& target)> args;
};

const std::vector<Command>& commands()
{
    static const std::vector<Command> list{
        {"to-cubase",
         [](const fs::path& inputs, const std::string& target) {
             return std::vector<std::string>{"to-cubase", (inputs / "synth.ins").string(), "-o", target,
                                             "--force"};
         }},
        {"to-cakewalk",
         [](const fs::path& inputs, const std::string& target) {
             return std::vector<std::string>{
                 "to-cakewalk", (inputs / "synth.txt").string(), "--name", "Synth", "-o", target, "--force"};
         }},
    };
    return list;
}

/// A work folder everyone may enter, with the inputs of both commands.
class SaveFaults : public ::testing::TestWithParam<std::size_t>
{
protected:
    void SetUp() override
    {
        fs::permissions(m_dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                          fs::perms::others_read | fs::perms::others_exec);
        fs::create_directory(inputs());
        std::string ins = ".Patch Names\r\n[Tones]\r\n";
        std::string script = "[cubase parse file]\r\n";
        for (int i = 0; i < 128; ++i) {
            ins += std::to_string(i) + "=A voice with a long name " + std::to_string(i) + "\r\n";
            script += "[p3, " + std::to_string(i) + ", 0, 0]\tA voice with a long name " + std::to_string(i) +
                      "\r\n";
        }
        ins += ".Instrument Definitions\r\n[Synth]\r\nPatch[0]=Tones\r\n";
        writeFile(inputs() / "synth.ins", ins);
        writeFile(inputs() / "synth.txt", script);
        for (const auto& file : {"synth.ins", "synth.txt"})
            fs::permissions(inputs() / file, fs::perms::owner_read | fs::perms::owner_write |
                                                 fs::perms::group_read | fs::perms::others_read);
    }

    const Command& command() const { return commands()[GetParam()]; }
    fs::path inputs() const { return m_dir / "inputs"; }
    fs::path dir() const { return m_dir.path(); }

    RunResult run(const std::string& target, const Restrictions& restrictions = {}) const
    {
        return runRestricted(command().args(inputs(), target), restrictions);
    }

    /// A folder holding one existing file with the old text.
    fs::path folderWithOldFile(const std::string& folder, const std::string& file = "keep.txt") const
    {
        const auto path = dir() / folder;
        fs::create_directory(path);
        writeFile(path / file, kOld);
        return path / file;
    }

private:
    TempDir m_dir;
};

TEST_P(SaveFaults, PermissionDeniedLeavesTheFileAndTheFolderAsTheyWere)
{
    const auto target = folderWithOldFile("locked");
    fs::permissions(target.parent_path(), fs::perms::owner_read | fs::perms::owner_exec |
                                              fs::perms::group_read | fs::perms::group_exec |
                                              fs::perms::others_read | fs::perms::others_exec);
    const RunResult result = run(target.string(), {.unprivileged = true});
    EXPECT_EQ(result.status, 1) << describe(result);
    EXPECT_THAT(result.err, HasSubstr("Permission denied"));
    EXPECT_THAT(result.err, HasSubstr(target.string())) << "the message names the file";
    EXPECT_EQ(readFile(target), kOld);
    EXPECT_EQ(folderEntries(target.parent_path()), std::set<std::string>{"keep.txt"});
}

TEST_P(SaveFaults, AFullDiskLeavesTheOldFileAndNoTemporaryFile)
{
    const auto target = folderWithOldFile("full");
    fs::permissions(target.parent_path(), fs::perms::all, fs::perm_options::add);
    // The old file is below the limit, the new text above it: the write fails half way.
    const RunResult result = run(target.string(), {.fileSizeLimit = 1024});
    EXPECT_EQ(result.status, 1) << describe(result);
    EXPECT_THAT(result.err, HasSubstr("File too large"));
    EXPECT_THAT(result.err, HasSubstr(target.string()));
    EXPECT_EQ(readFile(target), kOld);
    EXPECT_EQ(folderEntries(target.parent_path()), std::set<std::string>{"keep.txt"});
}

TEST_P(SaveFaults, DevFullReportsNoSpaceAndStaysADevice)
{
    const RunResult result = run("/dev/full");
    EXPECT_EQ(result.status, 1) << describe(result);
    EXPECT_THAT(result.err, HasSubstr("No space left on device"));
    EXPECT_THAT(result.err, HasSubstr("/dev/full"));
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST_P(SaveFaults, DevNullIsWrittenInPlaceAndStaysADevice)
{
    const RunResult result = run("/dev/null");
    EXPECT_EQ(result.status, 0) << describe(result);
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(fs::is_character_file("/dev/null")) << "/dev/null must never be replaced by a file";
    for (const auto& name : folderEntries("/dev"))
        EXPECT_NE(name.rfind(".null", 0), 0u) << "temporary file left in /dev: " << name;
}

TEST_P(SaveFaults, AFolderInTheWayIsReportedAndLeftAlone)
{
    const auto folder = dir() / "a folder.txt";
    fs::create_directory(folder);
    writeFile(folder / "inside", kOld);
    const RunResult result = run(folder.string());
    EXPECT_EQ(result.status, 1) << describe(result);
    EXPECT_THAT(result.err, HasSubstr("Is a directory"));
    EXPECT_THAT(result.err, HasSubstr(folder.string()));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(folderEntries(folder), std::set<std::string>{"inside"});
    EXPECT_EQ(readFile(folder / "inside"), kOld);
}

TEST_P(SaveFaults, AVanishedFolderIsReportedAndNothingIsCreated)
{
    const auto gone = dir() / "gone";
    fs::create_directory(gone);
    fs::remove(gone);
    const auto target = gone / "out.txt";
    const RunResult result = run(target.string());
    EXPECT_EQ(result.status, 1) << describe(result);
    EXPECT_THAT(result.err, HasSubstr("No such file or directory"));
    EXPECT_THAT(result.err, HasSubstr(target.string()));
    EXPECT_FALSE(fs::exists(gone));

    // A file where the folder should be.
    const auto file = dir() / "plain";
    writeFile(file, kOld);
    const RunResult underFile = run((file / "out.txt").string());
    EXPECT_EQ(underFile.status, 1) << describe(underFile);
    EXPECT_THAT(underFile.err, HasSubstr("Not a directory"));
    EXPECT_EQ(readFile(file), kOld);
}

TEST_P(SaveFaults, ASymbolicLinkIsFollowedAndKeptAndPermissionsStay)
{
    const auto real = folderWithOldFile("linked", "real.txt");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const auto link = real.parent_path() / "link.txt";
    fs::create_symlink("real.txt", link);

    const RunResult result = run(link.string());
    EXPECT_EQ(result.status, 0) << describe(result);
    EXPECT_TRUE(fs::is_symlink(link)) << "the link stays a link";
    EXPECT_EQ(fs::read_symlink(link), "real.txt");
    const std::string written = readFile(real);
    EXPECT_NE(written, kOld);
    EXPECT_EQ(written.substr(written.size() - 2), "\r\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(folderEntries(real.parent_path()), (std::set<std::string>{"real.txt", "link.txt"}));
}

TEST_P(SaveFaults, WithoutForceANonEmptyFileIsKept)
{
    const auto target = folderWithOldFile("kept");
    auto args = command().args(inputs(), target.string());
    args.pop_back(); // no --force
    const RunResult result = runRestricted(args, {});
    EXPECT_EQ(result.status, 1) << describe(result);
    EXPECT_THAT(result.err, HasSubstr("already exists"));
    EXPECT_THAT(result.err, HasSubstr(target.string()));
    EXPECT_EQ(readFile(target), kOld);
    EXPECT_EQ(folderEntries(target.parent_path()), std::set<std::string>{"keep.txt"});
}

INSTANTIATE_TEST_SUITE_P(BothCommands, SaveFaults, ::testing::Range<std::size_t>(0, 2),
                         [](const auto& info) { return info.param == 0 ? "ToCubase" : "ToCakewalk"; });

} // namespace

#endif
