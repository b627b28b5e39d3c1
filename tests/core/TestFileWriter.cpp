// Saving replaces a file whole or not at all, and says why when it cannot.

#include "TestSupport.h"
#include "base/FileWriter.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <set>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvix;
using quorvix::test::readFile;
using quorvix::test::TempDir;
using quorvix::test::writeFile;
namespace fs = std::filesystem;

namespace {

TextLines makeLines(std::initializer_list<const char*> texts)
{
    TextLines lines;
    for (const char* text : texts)
        lines.Add(text);
    return lines;
}

/// Nothing but the named files is left in the folder (no temporary file).
void expectOnly(const fs::path& folder, std::set<std::string> names)
{
    std::set<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder))
        found.insert(entry.path().filename().string());
    EXPECT_EQ(found, names);
}

/// Runs `body` in a child process as an unprivileged user (when we are root, permissions would not bite),
/// returning its exit status.
int asUnprivileged(const std::function<int()>& body)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(99);
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

} // namespace

TEST(FileWriter, WritesEveryLineWithCrLfAndReplacesLongerFilesWhole)
{
    TempDir dir;
    const auto path = dir / "out.txt";
    writeFile(path, std::string(10000, 'x'));
    const auto result = writeLinesAtomically(path.string(), makeLines({"[end]", "", "last"}));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(readFile(path), "[end]\r\n\r\nlast\r\n");
    expectOnly(dir.path(), {"out.txt"});

    ASSERT_TRUE(writeLinesAtomically(path.string(), TextLines{}).ok);
    EXPECT_EQ(readFile(path), "") << "an empty list gives an empty file";
}

TEST(FileWriter, KeepsPermissionsAndSymbolicLinks)
{
    TempDir dir;
    const auto real = dir / "real.ins";
    writeFile(real, "old");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const auto link = dir / "link.ins";
    fs::create_symlink("real.ins", link);

    ASSERT_TRUE(writeLinesAtomically(link.string(), makeLines({"new"})).ok);
    EXPECT_TRUE(fs::is_symlink(link)) << "the link stays a link";
    EXPECT_EQ(readFile(real), "new\r\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    expectOnly(dir.path(), {"real.ins", "link.ins"});
}

TEST(FileWriter, WritesDevicesInPlaceInsteadOfReplacingThem)
{
    ASSERT_TRUE(writeLinesAtomically("/dev/null", makeLines({"x"})).ok);
    EXPECT_TRUE(fs::is_character_file("/dev/null")) << "/dev/null must stay a device";

    const auto full = writeLinesAtomically("/dev/full", makeLines({"x"}));
    EXPECT_FALSE(full.ok);
    EXPECT_EQ(full.error, "No space left on device");
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST(FileWriter, FailuresLeaveTheOldFileAndNoTemporaryFile)
{
    TempDir dir;
    const auto existing = dir / "keep.txt";
    writeFile(existing, "precious\r\n");

    // A folder in the way.
    fs::create_directory(dir / "folder.txt");
    auto result = writeLinesAtomically((dir / "folder.txt").string(), makeLines({"x"}));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "Is a directory");

    // A parent that is a file, and a parent that does not exist.
    result = writeLinesAtomically((existing / "child.txt").string(), makeLines({"x"}));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "Not a directory");
    result = writeLinesAtomically((dir / "gone" / "child.txt").string(), makeLines({"x"}));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "No such file or directory");

    // The disk fills up in the middle of the write: a file size limit stands in for a full disk.
    TextLines big;
    for (int i = 0; i < 20000; ++i)
        big.Add(std::string(100, 'n'));
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        const auto full = writeLinesAtomically(existing.string(), big);
        _exit(!full.ok && full.error == "File too large" ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a failed write must be reported";

    EXPECT_EQ(readFile(existing), "precious\r\n");
    expectOnly(dir.path(), {"keep.txt", "folder.txt"});
}

TEST(FileWriter, PermissionDeniedLeavesTheFolderUntouched)
{
    TempDir dir;
    const auto locked = dir / "locked";
    fs::create_directory(locked);
    writeFile(locked / "keep.ins", "old");
    fs::permissions(dir.path(), fs::perms::all, fs::perm_options::add);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const std::string target = (locked / "keep.ins").string();
    const int status = asUnprivileged([&] {
        const auto result = writeLinesAtomically(target, makeLines({"new"}));
        return !result.ok && result.error == "Permission denied" ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(locked / "keep.ins"), "old");
    expectOnly(locked, {"keep.ins"});
}

TEST(FileWriter, ExistingFileSizeTellsEmptyMissingAndNonEmptyApart)
{
    TempDir dir;
    writeFile(dir / "empty", "");
    writeFile(dir / "full", "abc");
    EXPECT_EQ(existingFileSize((dir / "empty").string()), 0);
    EXPECT_EQ(existingFileSize((dir / "full").string()), 3);
    EXPECT_EQ(existingFileSize((dir / "missing").string()), -1);
    EXPECT_EQ(existingFileSize("/dev/null"), 0);
}
