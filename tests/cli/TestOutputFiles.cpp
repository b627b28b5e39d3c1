// Where the writer commands put their files: folders are made when missing, every output is checked before
// the first is written, and the default names are visible, short enough and no Windows device.

#include "TestSupport.h"
#include "base/PathText.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

using namespace quorvix::test;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kEnv = {"SOURCE_DATE_EPOCH=0", "TZ=UTC"};
const std::string kSeveral = (dataDir() / "to-cubase-several.ins").string();
const std::string kMidnam = (dataDir() / "midnam-synth.midnam").string();

std::set<std::string> entries(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(quorvix::textFromPath(entry.path().filename()));
    return names;
}

} // namespace

TEST(OutputFiles, MissingOutputFoldersAreMadeWithTheirParentsAndNamed)
{
    struct Case
    {
        std::vector<std::string> args;
        std::string err;
        std::string written; // one of the files, relative to the working folder
    };
    const std::vector<Case> cases = {
        {{"to-cubase", kSeveral, "--all", "-o", "scripts/"},
         "quorvix-convert: note: created folder scripts/\n",
         "scripts/Alpha.txt"},
        {{"to-midnam", kSeveral, "--all", "-o", "home/.config/ardour8/patchfiles"},
         "quorvix-convert: note: created folder home/.config/ardour8/patchfiles\n",
         "home/.config/ardour8/patchfiles/Beta.midnam"},
        {{"to-reabank", kMidnam, "--all", "-o", "banks/", "--notes", "notes/"},
         "quorvix-convert: note: created folder banks/\nquorvix-convert: note: created folder notes/\n",
         "notes/Kit Notes.txt"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const RunResult run = runConvert(c.args, dir.path(), kEnv);
        EXPECT_EQ(run.status, 0) << describe(run);
        std::string err = run.err;
        // The MIDNAM source's own warnings are not the matter here.
        for (std::size_t at; (at = err.find(kMidnam + ":")) != std::string::npos;)
            err.erase(at, err.find('\n', at) + 1 - at);
        EXPECT_EQ(err, c.err) << c.args[0];
        EXPECT_TRUE(fs::exists(dir / c.written)) << c.written;
    }
}

TEST(OutputFiles, EveryOutputIsCheckedBeforeAnyIsWritten)
{
    struct Case
    {
        const char* name;
        std::function<void(const fs::path& dir)> prepare;
        std::string err;
    };
    const std::vector<Case> cases = {
        {"a file where the note folder should be", [](const fs::path& dir) { writeFile(dir / "nf", ""); },
         "quorvix-convert: error: nf: is not a folder\n"},
        {"a note file that is there already",
         [](const fs::path& dir) {
             fs::create_directory(dir / "nf");
             writeFile(dir / "nf" / "Kit Notes.txt", "the user's notes");
         },
         "quorvix-convert: error: " + (fs::path("nf") / "Kit Notes.txt").string() +
             ": already exists and is not empty; use --force to replace it\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        c.prepare(dir.path());
        fs::create_directory(dir / "o");
        const RunResult run = runConvert(
            {"to-reabank", kMidnam, "--index", "1", "-o", "o/M.reabank", "--notes", "nf"}, dir.path(), kEnv);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.substr(run.err.find("quorvix-convert:")), c.err);
        EXPECT_TRUE(fs::is_empty(dir / "o")) << "the bank file is not written";
    }
}

TEST(OutputFiles, DefaultNamesAreVisibleFitInAFileNameAndAreNoWindowsDevice)
{
    const std::string katakana = "\xE3\x83\xA4\xE3\x83\x9E\xE3\x83\x8F";
    const std::string longName(300, 'L');
    TempDir dir;
    const fs::path ins = dir / "names.ins";
    std::string text = ".Patch Names\n[A]\n0=Piano\n.Instrument Definitions\n";
    for (const std::string& name :
         {std::string("CON"), std::string("aux"), katakana, std::string("..."), longName, longName + "x"})
        text += "[" + name + "]\nPatch[0]=A\n";
    writeFile(ins, text);

    struct Case
    {
        std::string command;
        std::string extension;
        std::size_t room; // bytes of the long name kept: the window cuts a script's name to 79
    };
    for (const Case& c : std::vector<Case>{{"to-reabank", ".reabank", 255 - 8},
                                           {"to-midnam", ".midnam", 255 - 7},
                                           {"to-cubase", ".txt", 79}}) {
        SCOPED_TRACE(c.command);
        const fs::path out = dir / ("out" + c.extension);
        const RunResult run = runConvert({c.command, ins.string(), "--all", "-o", out.string()}, {}, kEnv);
        ASSERT_EQ(run.status, 0) << describe(run);
        const std::set<std::string> expected = {
            "CON_" + c.extension,
            "aux_" + c.extension,
            katakana + c.extension,
            "Unnamed" + c.extension,
            std::string(c.room, 'L') + c.extension,
            std::string(std::min(c.room, 255 - 4 - c.extension.size()), 'L') + " (2)" + c.extension,
        };
        EXPECT_EQ(entries(out), expected);

        // One definition, by its default name in the working folder.
        const RunResult one = runConvert({c.command, ins.string(), "--definition", "CON"}, out, kEnv);
        EXPECT_EQ(one.err, "quorvix-convert: error: CON_" + c.extension +
                               ": already exists and is not empty; use --force to replace it\n");
    }
}
