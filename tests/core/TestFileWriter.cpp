// Saving replaces a file whole or not at all, and says why when it cannot. Cases about POSIX permissions,
// owners, links and devices run on POSIX systems only; the Windows counterparts are in TestPlatform.cpp.

#include "TestSupport.h"
#include "base/FileWriter.h"
#include "base/PathText.h"
#include "base/Platform.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>
#include <stdexcept>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

std::set<std::string> entries(const fs::path& folder)
{
    std::set<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder))
        found.insert(entry.path().filename().string());
    return found;
}

/// Nothing but the named files is left in the folder (no temporary file).
void expectOnly(const fs::path& folder, const std::set<std::string>& names)
{
    EXPECT_EQ(entries(folder), names);
}

#if !defined(_WIN32)

/// Every entry below root with its content, link target or kind: what a refused save must leave as it was.
std::map<std::string, std::string> snapshot(const fs::path& root)
{
    std::map<std::string, std::string> state;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const auto name = entry.path().lexically_relative(root).string();
        if (entry.is_symlink())
            state[name] = "-> " + fs::read_symlink(entry.path()).string();
        else if (entry.is_directory())
            state[name] = "<folder>";
        else
            state[name] = readFile(entry.path());
    }
    return state;
}

#endif

bool isTemporaryName(const std::string& name)
{
    static const std::regex pattern(R"(\.qvx[a-z0-9]{8}\.tmp)");
    return std::regex_match(name, pattern);
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

TEST(FileWriter, StreamedPiecesArriveInOrderAcrossBlocks)
{
    TempDir dir;
    const auto path = dir / "big.ins";
    AtomicFile file;
    ASSERT_TRUE(file.open(path.string())) << file.error();
    std::string expected;
    // Small pieces that cross a block boundary, one larger than a block, and small ones again.
    for (const std::string& piece : {std::string(AtomicFile::kBlockSize - 3, 'a'), std::string("bcdefg"),
                                     std::string(AtomicFile::kBlockSize * 2 + 5, 'h'), std::string("end")}) {
        file.write(piece);
        expected += piece;
    }
    EXPECT_FALSE(fs::exists(path)) << "nothing appears under the name before commit";
    ASSERT_TRUE(file.commit()) << file.error();
    EXPECT_EQ(readFile(path), expected);
    expectOnly(dir.path(), {"big.ins"});

    EXPECT_FALSE(file.commit());
    EXPECT_EQ(file.error(), "no file is open");
}

#if !defined(_WIN32)

TEST(FileWriter, KeepsPermissionsOwnerAndSymbolicLinks)
{
    TempDir dir;
    const auto real = dir / "real.ins";
    writeFile(real, "old");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(real.c_str(), 65534, 65534), 0);
    }
    const auto link = dir / "link.ins";
    fs::create_symlink("real.ins", link);

    ASSERT_TRUE(writeLinesAtomically(link.string(), makeLines({"new"})).ok);
    EXPECT_TRUE(fs::is_symlink(link)) << "the link stays a link";
    EXPECT_EQ(readFile(real), "new\r\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    struct stat info = {};
    ASSERT_EQ(stat(real.c_str(), &info), 0);
    if (root) {
        EXPECT_EQ(info.st_uid, 65534u) << "root keeps the old file's owner";
    }
    expectOnly(dir.path(), {"real.ins", "link.ins"});
}

TEST(FileWriter, WritesDevicesInPlaceInsteadOfReplacingThem)
{
    ASSERT_TRUE(writeLinesAtomically("/dev/null", makeLines({"x"})).ok);
    EXPECT_TRUE(fs::is_character_file("/dev/null")) << "/dev/null must stay a device";

    const auto full = writeLinesAtomically("/dev/full", makeLines({"x"}));
    EXPECT_FALSE(full.ok);
    EXPECT_EQ(full.error, "writing the data failed: No space left on device");
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST(FileWriter, RefusedSavesNameTheCauseAndLeaveEverythingAsItWas)
{
    struct Case
    {
        const char* name;
        bool unprivileged;
        std::function<fs::path(const fs::path& dir)> setUp; // returns the target
        std::string error;                                  // "{dir}" stands for the work folder
    };
    const std::vector<Case> cases{
        {"a folder in the way", false,
         [](const fs::path& dir) {
             fs::create_directory(dir / "folder.txt");
             return dir / "folder.txt";
         },
         "it is a folder: Is a directory"},
        {"a file where the folder should be", false,
         [](const fs::path& dir) { return dir / "keep.txt" / "a.txt"; },
         "\"{dir}/keep.txt\" is not a folder: Not a directory"},
        {"a missing folder", false, [](const fs::path& dir) { return dir / "gone" / "a.txt"; },
         "the folder \"{dir}/gone\" does not exist: No such file or directory"},
        {"a writable file in a read-only folder", true,
         [](const fs::path& dir) {
             fs::create_directory(dir / "locked");
             writeFile(dir / "locked" / "open.txt", "old");
             fs::permissions(dir / "locked" / "open.txt", fs::perms::all & ~fs::perms::owner_exec &
                                                              ~fs::perms::group_exec &
                                                              ~fs::perms::others_exec);
             fs::permissions(dir / "locked",
                             fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                             fs::perm_options::remove);
             return dir / "locked" / "open.txt";
         },
         "the folder \"{dir}/locked\" cannot be written: Permission denied"},
        {"a dangling link in a shared folder", false,
         [](const fs::path& dir) {
             // Another user's link in a sticky world-writable folder, pointing into a folder only root may
             // read.
             fs::create_directory(dir / "shared");
             fs::permissions(dir / "shared", fs::perms::all | fs::perms::sticky_bit);
             fs::create_directory(dir / "private");
             fs::permissions(dir / "private", fs::perms::owner_all);
             fs::create_symlink(dir / "private" / "planted.txt", dir / "shared" / "link");
             (void)lchown((dir / "shared" / "link").c_str(), 65534, 65534);
             return dir / "shared" / "link";
         },
         "\"{dir}/shared/link\" is a symbolic link to \"{dir}/private/planted.txt\", which does not exist; "
         "not writing through it"},
        {"a chain of links ending nowhere", false,
         [](const fs::path& dir) {
             fs::create_symlink("second", dir / "first");
             fs::create_symlink("missing", dir / "second");
             return dir / "first";
         },
         "\"{dir}/first\" is a symbolic link to \"{dir}/missing\", which does not exist; not writing through "
         "it"},
        {"a loop of links", false,
         [](const fs::path& dir) {
             fs::create_symlink("b", dir / "a");
             fs::create_symlink("a", dir / "b");
             return dir / "a";
         },
         "\"{dir}/a\" leads through too many symbolic links: Too many levels of symbolic links"},
        {"a name longer than the system allows", false,
         [](const fs::path& dir) { return dir / std::string(256, 'n'); },
         "\"{dir}/" + std::string(256, 'n') + "\" cannot be examined: File name too long"},
        {"no name", false, [](const fs::path&) { return fs::path(); }, "no file name given"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        fs::permissions(dir.path(), fs::perms::all);
        writeFile(dir / "keep.txt", "precious\r\n");
        const std::string target = c.setUp(dir.path()).string();
        const auto before = snapshot(dir.path());
        const std::string error = test::inChild(c.unprivileged, [&] {
            const auto result = writeLinesAtomically(target, makeLines({"x"}));
            return result.ok ? std::string("written") : result.error;
        });
        EXPECT_EQ(error, std::regex_replace(c.error, std::regex("\\{dir\\}"), dir.path().string()));
        EXPECT_EQ(snapshot(dir.path()), before);
    }
}

TEST(FileWriter, AFullDiskDuringTheWriteKeepsTheOldFile)
{
    TempDir dir;
    const auto existing = dir / "keep.txt";
    writeFile(existing, "precious\r\n");
    TextLines big;
    for (int i = 0; i < 20000; ++i)
        big.Add(std::string(100, 'n'));
    const std::string error = test::inChild(false, [&] {
        // A file size limit stands in for a full disk.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        return writeLinesAtomically(existing.string(), big).error;
    });
    EXPECT_EQ(error, "writing the data failed: File too large");
    EXPECT_EQ(readFile(existing), "precious\r\n");
    expectOnly(dir.path(), {"keep.txt"});
}

#endif

TEST(FileWriter, AbandonedSavesKeepTheOldFile)
{
    const std::string big(3 * AtomicFile::kBlockSize, 'b'); // reaches the disk before it is abandoned
    struct Case
    {
        const char* name;
        std::function<std::string(const std::string& path)> abandon; // returns the error reported
    };
    const std::vector<Case> cases{
        {"destroyed without commit",
         [&](const std::string& path) {
             AtomicFile file;
             file.open(path);
             file.write(big);
             return file.error();
         }},
        {"discarded",
         [&](const std::string& path) {
             AtomicFile file;
             file.open(path);
             file.write(big);
             file.discard();
             return file.error();
         }},
        {"the producer gives up",
         [&](const std::string& path) {
             return writeAtomically(path,
                                    [&](OutputSink& sink) {
                                        sink.write(big);
                                        return false;
                                    })
                 .error;
         }},
        {"the producer throws",
         [&](const std::string& path) {
             try {
                 writeAtomically(path, [&](OutputSink& sink) -> bool {
                     sink.write(big);
                     throw std::runtime_error("conversion failed");
                 });
             } catch (const std::runtime_error& e) {
                 return std::string(e.what());
             }
             return std::string("no exception");
         }},
    };
    const std::map<std::string, std::string> expectedErrors{
        {"the producer gives up", "writing was stopped before the end"},
        {"the producer throws", "conversion failed"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        writeFile(dir / "keep.ins", "old");
        const auto found = expectedErrors.find(c.name);
        EXPECT_EQ(c.abandon((dir / "keep.ins").string()), found == expectedErrors.end() ? "" : found->second);
        EXPECT_EQ(readFile(dir / "keep.ins"), "old");
        expectOnly(dir.path(), {"keep.ins"});
    }
}

TEST(FileWriter, NamesUpToTheSystemLimitGetAShortTemporaryName)
{
    for (const std::size_t length : {std::size_t{1}, std::size_t{240}, std::size_t{241}, std::size_t{255}}) {
        SCOPED_TRACE(length);
        TempDir dir;
        const auto path = dir / std::string(length, 'L');
        AtomicFile file;
        ASSERT_TRUE(file.open(path.string())) << file.error();
        const auto during = entries(dir.path());
        ASSERT_EQ(during.size(), 1u);
        EXPECT_TRUE(isTemporaryName(*during.begin())) << *during.begin();
        file.write("first");
        ASSERT_TRUE(file.commit()) << file.error();
        const auto replaced = writeAtomically(path.string(), [](OutputSink& sink) {
            sink.write("second");
            return true;
        });
        ASSERT_TRUE(replaced.ok) << replaced.error;
        EXPECT_EQ(readFile(path), "second");
        expectOnly(dir.path(), {path.filename().string()});
    }
}

namespace {

/// Names the folder a child process saves into (Windows starts this program again as the child).
constexpr const char* kInterruptedSaveDir = "QUORVIX_INTERRUPTED_SAVE_DIR";

fs::path readyMarker(const fs::path& dir)
{
    return dir.parent_path() / (dir.filename().string() + "-ready");
}

/// The child: a save replacing old.ins and one making new.ins through a producer that never returns, both
/// under way when the ready marker appears.
[[noreturn]] void saveUntilInterrupted(const fs::path& dir)
{
    removeTemporaryFilesOnSignals();
    const std::string block(3 * AtomicFile::kBlockSize, 's');
    AtomicFile replacing;
    if (!replacing.open(textFromPath(dir / "old.ins")))
        std::_Exit(1);
    replacing.write(block);
    writeAtomically(textFromPath(dir / "new.ins"), [&](OutputSink& sink) {
        sink.write(block);
        // Made under another name and renamed once closed: Windows refuses to remove a file still open.
        const fs::path marker = readyMarker(dir);
        writeFile(marker.string() + ".part", "");
        fs::rename(marker.string() + ".part", marker);
        for (;;)
            std::this_thread::sleep_for(std::chrono::seconds(1));
        return true;
    });
    std::_Exit(2);
}

/// A child saving into a folder, and how it is interrupted: SIGINT or SIGTERM, or Ctrl+C on Windows.
class SavingChild
{
public:
#if defined(_WIN32)
    static std::vector<int> interruptions()
    {
        return {CTRL_C_EVENT};
    }

    explicit SavingChild(const fs::path& dir)
    {
        std::wstring self(32768, L'\0');
        self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
        std::wstring commandLine =
            L"\"" + self + L"\" --gtest_filter=FileWriter.InterruptedSavesLeaveNoTemporaryFile";
        const std::wstring name(kInterruptedSaveDir, kInterruptedSaveDir + std::strlen(kInterruptedSaveDir));
        SetEnvironmentVariableW(name.c_str(), dir.c_str());
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(self.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &m_process))
            throw std::runtime_error("CreateProcessW failed");
        SetEnvironmentVariableW(name.c_str(), nullptr);
        CloseHandle(m_process.hThread);
    }
    ~SavingChild()
    {
        TerminateProcess(m_process.hProcess, 99);
        CloseHandle(m_process.hProcess);
    }

    /// False when there is no console to send Ctrl+C through.
    bool interrupt(int event)
    {
        // Ctrl+C goes to every program of the console: this one lets it pass.
        SetConsoleCtrlHandler(nullptr, TRUE);
        return GenerateConsoleCtrlEvent(static_cast<DWORD>(event), 0) != 0;
    }

    /// True when the child ended within a minute, and not by running on to an exit of its own.
    bool endedByInterruption(int)
    {
        if (WaitForSingleObject(m_process.hProcess, 60000) != WAIT_OBJECT_0)
            return false;
        DWORD code = 0;
        GetExitCodeProcess(m_process.hProcess, &code);
        return code != 1 && code != 2;
    }

private:
    PROCESS_INFORMATION m_process{};
#else
    static std::vector<int> interruptions()
    {
        return {SIGINT, SIGTERM};
    }

    explicit SavingChild(const fs::path& dir) : m_pid(fork())
    {
        if (m_pid == 0)
            saveUntilInterrupted(dir);
    }
    ~SavingChild()
    {
        if (m_pid > 0 && waitpid(m_pid, nullptr, WNOHANG) == 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    bool interrupt(int signal)
    {
        return kill(m_pid, signal) == 0;
    }

    /// True when the signal still ended the program.
    bool endedByInterruption(int signal)
    {
        int status = 0;
        const bool ended = waitpid(m_pid, &status, 0) == m_pid;
        m_pid = -1;
        return ended && WIFSIGNALED(status) && WTERMSIG(status) == signal;
    }

private:
    pid_t m_pid;
#endif
};

} // namespace

TEST(FileWriter, InterruptedSavesLeaveNoTemporaryFile)
{
#if defined(_WIN32)
    if (const wchar_t* dir = _wgetenv(L"QUORVIX_INTERRUPTED_SAVE_DIR"))
        saveUntilInterrupted(dir); // this run is the child
#endif
    for (const int interruption : SavingChild::interruptions()) {
        SCOPED_TRACE(interruption);
        TempDir dir;
        writeFile(dir / "old.ins", "old");
        SavingChild child(dir.path());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!fs::exists(readyMarker(dir.path())) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        fs::remove(readyMarker(dir.path()));
        std::size_t temporaries = 0;
        for (const auto& name : entries(dir.path()))
            temporaries += isTemporaryName(name) ? 1 : 0;
        ASSERT_EQ(temporaries, 2u) << "both saves are under way";

        if (!child.interrupt(interruption))
            GTEST_SKIP()
                << "no console to send Ctrl+C through (scripts/test-windows.sh runs the tests in one)";
        EXPECT_TRUE(child.endedByInterruption(interruption)) << "the interruption still ends the program";
        expectOnly(dir.path(), {"old.ins"});
        EXPECT_EQ(readFile(dir / "old.ins"), "old");
    }
}

#if !defined(_WIN32)

TEST(FileWriter, AnInterruptionDuringAHoldEndsTheProgramWhenTheHoldEnds)
{
    TempDir dir;
    const pid_t pid = fork();
    if (pid == 0) {
        removeTemporaryFilesOnSignals();
        TemporaryFile file;
        std::error_code error;
        if (!file.create(textFromPath(dir.path()), error))
            std::_Exit(1);
        {
            platform::InterruptsHeld held;
            std::raise(SIGINT);
            writeFile(dir / "held", "");
        }
        std::_Exit(2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "status " << status;
    expectOnly(dir.path(), {"held"}); // the hold ran to its end; the temporary file is gone
}

TEST(FileWriter, ExaminingAPathNeedsNoReadPermission)
{
    struct Case
    {
        const char* name;
        std::function<fs::path(const fs::path& dir)> setUp;
        std::string expected; // kind, size, existingFileSize, resolved ({dir} for the work folder)
    };
    const auto file = [](const char* name, std::string_view text, fs::perms perms) {
        return [=](const fs::path& dir) {
            writeFile(dir / name, text);
            fs::permissions(dir / name, perms);
            return dir / name;
        };
    };
    const auto link = [](const char* to) {
        return [=](const fs::path& dir) {
            fs::create_symlink(to, dir / "link");
            return dir / "link";
        };
    };
    const auto rw = fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read;
    const std::vector<Case> cases{
        {"nothing", [](const fs::path& dir) { return dir / "none"; }, "None 0 -1 {dir}/none"},
        {"an empty file", file("empty", "", rw), "Regular 0 0 {dir}/empty"},
        {"a file", file("text", "abc", rw), "Regular 3 3 {dir}/text"},
        {"an unreadable file", file("secret", "secret", fs::perms::none), "Regular 6 6 {dir}/secret"},
        {"a write-only file", file("drop", "secret", fs::perms::owner_write), "Regular 6 6 {dir}/drop"},
        {"a folder",
         [](const fs::path& dir) {
             fs::create_directory(dir / "sub");
             return dir / "sub";
         },
         "Directory 0 0 {dir}/sub"},
        {"a device", [](const fs::path&) { return fs::path("/dev/null"); }, "Special 0 0 /dev/null"},
        {"a link to a file",
         [&](const fs::path& dir) {
             file("text", "abc", rw)(dir);
             return link("text")(dir);
         },
         "Regular 3 3 {dir}/text"},
        {"a dangling link", link("/nowhere/x"), "DanglingLink 0 -1 /nowhere/x"},
        {"below a file", [&](const fs::path& dir) { return file("text", "abc", rw)(dir) / "x"; },
         "None 0 -1 {dir}/text/x"},
    };
    static const char* const kinds[] = {"None", "Regular", "Directory", "Special", "DanglingLink", "Unknown"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        fs::permissions(dir.path(), fs::perms::all);
        const std::string path = c.setUp(dir.path()).string();
        const std::string found = test::inChild(true, [&] {
            const ExistingFile existing = examinePath(path);
            return std::string(kinds[static_cast<int>(existing.kind)]) + " " + std::to_string(existing.size) +
                   " " + std::to_string(existingFileSize(path)) + " " + existing.resolved;
        });
        EXPECT_EQ(found, std::regex_replace(c.expected, std::regex("\\{dir\\}"), dir.path().string()));
    }
}

#endif
