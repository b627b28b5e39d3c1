// The operating system functions under the save and read paths, on POSIX systems and on Windows alike; where
// the systems differ on purpose (a read-only or open file), each case names what each system does.

#include "TestSupport.h"
#include "base/FileWriter.h"
#include "base/PathText.h"
#include "base/Platform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#endif

using namespace quorvix;
using quorvix::test::readFile;
using quorvix::test::TempDir;
using quorvix::test::writeFile;
namespace fs = std::filesystem;

namespace {

#if defined(_WIN32)
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

/// A name with characters outside ASCII and outside Windows-1252 (UTF-8 text).
const std::string kForeignName = "Fl\xc3\xbcgel \xe2\x82\xac \xce\xa9.ins";

/// What reading the path gives: "regular SIZE BYTES", "folder", "other" or "error: MESSAGE".
std::string readThrough(const std::string& path)
{
    std::error_code error;
    const int fd = platform::openForReading(path, error);
    if (fd < 0)
        return "error: " + error.message();
    platform::OpenFileInfo info;
    std::string text;
    if (!platform::describe(fd, info, error)) {
        text = "error: " + error.message();
    } else if (info.directory) {
        text = "folder";
    } else if (!info.regular) {
        text = "other";
    } else {
        std::string bytes;
        char buffer[2];
        long long got = 0;
        while ((got = platform::readSome(fd, buffer, sizeof buffer, error)) > 0)
            bytes.append(buffer, static_cast<std::size_t>(got));
        text = "regular " + std::to_string(info.size) + " " + bytes;
    }
    platform::closeFile(fd, error);
    return text;
}

/// Makes a new file through the platform functions; "" on success, else the failing step and reason.
std::string createThrough(const std::string& path, std::string_view bytes)
{
    std::error_code error;
    const int fd = platform::createNew(path, error);
    if (fd < 0)
        return "create: " + error.message();
    const bool written = platform::writeAll(fd, bytes, error) && platform::syncToDisk(fd, error);
    std::error_code closing;
    const bool closed = platform::closeFile(fd, closing);
    if (!written)
        return "write: " + error.message();
    return closed ? "" : "close: " + closing.message();
}

void setTimeZone(const char* zone)
{
#if defined(_WIN32)
    ::_putenv_s("TZ", zone);
    ::_tzset();
#else
    ::setenv("TZ", zone, 1);
    ::tzset();
#endif
}

} // namespace

TEST(Platform, ReadsFilesAndFoldersByUtf8Names)
{
    struct Case
    {
        const char* name;
        std::function<fs::path(const fs::path& dir)> setUp;
        std::string expected;
    };
    const auto file = [](const std::string& name, std::string_view bytes) {
        return [=](const fs::path& dir) {
            writeFile(dir / pathFromText(name), bytes);
            return dir / pathFromText(name);
        };
    };
    const std::vector<Case> cases{
        {"a file read in small pieces", file("plain.ins", "abc\r\n"), "regular 5 abc\r\n"},
        {"an empty file", file("empty.ins", ""), "regular 0 "},
        {"a name outside ASCII", file(kForeignName, "\xfc\x80"), "regular 2 \xfc\x80"},
        {"a folder", [](const fs::path& dir) { return dir; }, "folder"},
        {"nothing there", [](const fs::path& dir) { return dir / "missing.ins"; },
         "error: No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        EXPECT_EQ(readThrough(textFromPath(c.setUp(dir.path()))), c.expected);
    }
}

TEST(Platform, NewFilesAreNeverOpenedTwiceAndReplaceInOneStep)
{
    TempDir dir;
    const std::string fresh = textFromPath(dir.path() / pathFromText(kForeignName));
    ASSERT_EQ(createThrough(fresh, "new\r\n"), "");
    EXPECT_EQ(readThrough(fresh), "regular 5 new\r\n");
    EXPECT_EQ(createThrough(fresh, "again"), "create: File exists") << "an existing file is never opened";
    EXPECT_EQ(createThrough(textFromPath(dir / "gone" / "x.ins"), ""), "create: No such file or directory");

    struct Case
    {
        const char* name;
        bool targetExists;
        std::string target;
    };
    const std::vector<Case> cases{
        {"over an old file", true, "old.ins"},
        {"under a new name", false, "new.ins"},
        {"over an old file named outside ASCII", true, "alt " + kForeignName},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = textFromPath(dir / "source.tmp");
        const std::string target = textFromPath(dir.path() / pathFromText(c.target));
        if (c.targetExists)
            writeFile(pathFromText(target), "the old text, longer than the new");
        ASSERT_EQ(createThrough(source, "replacement"), "");
        std::error_code error;
        ASSERT_TRUE(platform::replaceFile(source, target, c.targetExists, error)) << error.message();
        EXPECT_EQ(readFile(pathFromText(target)), "replacement");
        EXPECT_FALSE(fs::exists(pathFromText(source))) << "the new file left its temporary name";
    }

    std::error_code error;
    EXPECT_FALSE(
        platform::replaceFile(textFromPath(dir / "none.tmp"), textFromPath(dir / "old.ins"), true, error));
    EXPECT_TRUE(error == std::errc::no_such_file_or_directory) << error.message();
    EXPECT_EQ(readFile(dir / "old.ins"), "replacement") << "a failed replacement leaves the old file";

    platform::removeFile(fresh);
    EXPECT_FALSE(fs::exists(pathFromText(fresh)));
}

TEST(Platform, ANewNameIsNeverTakenFromAFileThatAppearedMeanwhile)
{
    // Another program writes the target after the save looked and found nothing there: the save is refused
    // and tells why, unless the caller allows replacing any file.
    TempDir dir;
    for (const bool replaceAppeared : {false, true}) {
        SCOPED_TRACE(replaceAppeared ? "replacing what appeared" : "keeping what appeared");
        const std::string path = textFromPath(dir / (replaceAppeared ? "forced.ins" : "kept.ins"));
        AtomicFile file;
        ASSERT_TRUE(file.open(path, replaceAppeared)) << file.error();
        file.write("ours");
        writeFile(pathFromText(path), "theirs");
        EXPECT_EQ(file.commit(), replaceAppeared);
        EXPECT_EQ(file.targetAppeared(), !replaceAppeared);
        EXPECT_EQ(file.error(), replaceAppeared ? ""
                                                : "another program made the file meanwhile; it was not "
                                                  "replaced: File exists");
        EXPECT_EQ(readFile(pathFromText(path)), replaceAppeared ? "ours" : "theirs");
    }
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        names.push_back(textFromPath(entry.path().filename()));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"forced.ins", "kept.ins"})) << "no temporary file is left";
}

#if !defined(_WIN32)
TEST(Platform, NoTemporaryFileOutlivesAnInterruptionWhileThreadsKeepSaving)
{
    // Windows holds every save while its handler runs; on POSIX systems the others go on, so the race is run
    // a number of times: a child saves on four threads and is sent SIGTERM.
    for (int round = 0; round < 20; ++round) {
        TempDir dir;
        const std::string folder = textFromPath(dir.path());
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            removeTemporaryFilesOnSignals();
            std::vector<std::thread> savers;
            for (int t = 0; t < 4; ++t)
                savers.emplace_back([&folder] {
                    for (;;) {
                        TemporaryFile temporary;
                        std::error_code error;
                        temporary.create(folder, error);
                    }
                });
            std::this_thread::sleep_for(std::chrono::milliseconds(2 + round % 5));
            ::kill(::getpid(), SIGTERM);
            std::this_thread::sleep_for(std::chrono::seconds(10));
            std::_Exit(3);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            left.push_back(entry.path().filename().string());
        ASSERT_EQ(left, std::vector<std::string>{}) << "round " << round;
    }
}
#endif

TEST(Platform, ReadOnlyAndOpenFilesAreReplacedOnlyWhereTheSystemAllows)
{
    // POSIX systems replace a file by renaming in its folder, which its own permissions and readers do not
    // hinder. Windows honours the read-only attribute and keeps a file that another program holds open (as
    // the C runtime opens files: without delete sharing); the save then fails and the old file stays.
    struct Case
    {
        const char* name;
        std::function<std::shared_ptr<void>(const fs::path& file)> hold; // kept while saving
        std::string windowsError;
    };
    const std::vector<Case> cases{
        {"marked read-only",
         [](const fs::path& file) {
             fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                             fs::perm_options::remove);
             return std::shared_ptr<void>();
         },
         "it is marked read-only: Permission denied"},
        {"open in another program",
         [](const fs::path& file) { return std::make_shared<std::ifstream>(file, std::ios::binary); },
         "the old file is open in another program; close it there and save again"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path file = dir.path() / pathFromText(kForeignName);
        writeFile(file, "precious\r\n");
        std::shared_ptr<void> holder = c.hold(file);
        EXPECT_EQ(platform::isMarkedReadOnly(textFromPath(file)), kWindows && holder == nullptr);
        const WriteResult result = writeAtomically(textFromPath(file), [](OutputSink& sink) {
            sink.write("new\r\n");
            return true;
        });
        holder.reset();
        EXPECT_EQ(result.error, kWindows ? c.windowsError : "");
        EXPECT_EQ(readFile(file), kWindows ? "precious\r\n" : "new\r\n");
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            names.push_back(textFromPath(entry.path().filename()));
        EXPECT_EQ(names, std::vector<std::string>{kForeignName}) << "no temporary file is left";
        fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
    }
}

TEST(Platform, LocalTimeFollowsTheTimeZone)
{
    const char* before = std::getenv("TZ");
    const std::string saved = before != nullptr ? before : "";
    struct Case
    {
        const char* zone;
        std::time_t moment;
        std::string expected; // YYYY-MM-DD hh:mm:ss
    };
    // The last moment SOURCE_DATE_EPOCH takes lies beyond the year 3000, where Windows' C runtime stops.
    const std::vector<Case> cases{{"UTC", 1000000000, "2001-09-09 01:46:40"},
                                  {"EST5", 1000000000, "2001-09-08 20:46:40"},
                                  {"UTC", 0, "1970-01-01 00:00:00"},
                                  {"UTC", 253402300799, "9999-12-31 23:59:59"},
                                  {"EST5", 253402300799, "9999-12-31 18:59:59"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + std::to_string(c.moment));
        setTimeZone(c.zone);
        const std::tm parts = platform::localTime(c.moment);
        char text[64];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts.tm_year + 1900,
                      parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
        EXPECT_EQ(text, c.expected);
    }
    setTimeZone(saved.empty() ? "UTC" : saved.c_str());
}

TEST(Platform, BinaryStreamsKeepLineEndsAsWritten)
{
    TempDir dir;
    const fs::path path = dir / "stream.txt";
    // Opened in text mode, as standard output is.
    std::FILE* stream = std::fopen(textFromPath(path).c_str(), "w");
    ASSERT_NE(stream, nullptr);
    platform::useBinaryMode(stream);
    std::fputs("[end]\r\nlast\n", stream);
    std::fclose(stream);
    EXPECT_EQ(readFile(path), "[end]\r\nlast\n") << "no CR is added before LF";
}

TEST(Platform, CommandLineArgumentsComeAsTheProgramWasStarted)
{
    // This program's own arguments: the system's wide command line on Windows, argv elsewhere. Non-ASCII
    // arguments are covered through quorvix-convert (TestNonAsciiPaths).
    char first[] = "program";
    char second[] = "--flag";
    char* argv[] = {first, second};
    const std::vector<std::string> arguments = platform::commandLineArguments(2, argv);
    if (kWindows) {
        ASSERT_FALSE(arguments.empty());
        EXPECT_NE(arguments.front().find("test_platform"), std::string::npos) << arguments.front();
    } else {
        EXPECT_EQ(arguments, (std::vector<std::string>{"program", "--flag"}));
    }
}
