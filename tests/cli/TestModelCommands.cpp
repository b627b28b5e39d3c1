// The commands that write the newer formats, to-midnam and to-reabank, and the inputs every command takes.

#include "MidnamSupport.h"
#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace quorvix::test;
using ::testing::HasSubstr;
using ::testing::Not;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kEnv = {"SOURCE_DATE_EPOCH=0", "TZ=UTC"};

std::set<std::string> entries(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

} // namespace

TEST(ModelCommands, EveryInputFormatIsListedAndWrittenInEveryFormat)
{
    const struct
    {
        const char* file;
        const char* listed;
    } inputs[] = {
        {"ins-synth.ins", "0\tSynth One\t4\n1\tSynth Two\t0\n"},
        {"script-synth.txt", "0\tSynth Alpha\t3\n"},
        {"midnam-synth.midnam", nullptr},
        {"reabank-synth.reabank", nullptr},
    };
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.file);
        const std::string path = (dataDir() / input.file).string();
        const RunResult list = runConvert({"list", path});
        ASSERT_EQ(list.status, 0) << describe(list);
        if (input.listed != nullptr) {
            EXPECT_EQ(list.out, input.listed);
        }
        for (const char* command : {"to-midnam", "to-reabank", "to-cubase", "to-cakewalk"}) {
            TempDir dir;
            std::vector<std::string> args{command, path, "-o", (dir / "out").string()};
            if (std::string(command) != "to-cakewalk" && list.out.find("\n1\t") != std::string::npos) {
                args.insert(args.end(), {"--index", "0"});
            }
            const RunResult run = runConvert(args, {}, kEnv);
            EXPECT_EQ(run.status, 0) << command << ": " << describe(run);
            // What was written reads again as a file of its kind.
            const RunResult again = runConvert({"list", (dir / "out").string()});
            EXPECT_EQ(again.status, 0) << command << ": " << describe(again);
        }
    }
}

TEST(ModelCommands, AllPrintsEveryFilesWarningsInTheInstrumentsOrder)
{
    // Files are written side by side; what each one says still comes in the input's order.
    TempDir dir;
    std::string ins = ".Patch Names\n";
    std::string definitions = ".Instrument Definitions\n";
    std::string expected;
    for (int k = 0; k < 60; ++k) {
        const std::string n = std::to_string(k);
        ins += "[L" + n + "]\n" + std::to_string(k % 128) + "=\n";
        definitions += "[I" + n + "]\nPatch[0]=L" + n + "\n";
        expected += "warning: bank 0 \"L" + n + "\": program " + n + " has no name; written as \"Program " +
                    n + "\"\n";
    }
    writeFile(dir / "many.ins", ins + definitions);
    fs::create_directory(dir / "out");
    const RunResult run = runConvert(
        {"to-reabank", (dir / "many.ins").string(), "--all", "-o", (dir / "out").string()}, {}, kEnv);
    ASSERT_EQ(run.status, 0) << describe(run);
    EXPECT_EQ(entries(dir / "out").size(), 60u);
    std::string said;
    for (std::size_t at = 0; (at = run.err.find("warning: ", at)) != std::string::npos;) {
        const std::size_t end = run.err.find('\n', at) + 1;
        said += run.err.substr(at, end - at);
        at = end;
    }
    EXPECT_EQ(said, expected);
}

TEST(ModelCommands, AllNamesFilesAsToCubaseDoesAndNotesGoIntoTheirFolder)
{
    TempDir dir;
    const std::string several = (dataDir() / "to-cubase-several.ins").string();
    const RunResult midnam = runConvert({"to-midnam", several, "--all", "-o", dir.path().string()}, {}, kEnv);
    ASSERT_EQ(midnam.status, 0) << describe(midnam);
    EXPECT_EQ(entries(dir.path()), (std::set<std::string>{"Alpha.midnam", "Beta.midnam", "Alpha (2).midnam",
                                                          "alpha (3).midnam", "Beta (2).midnam"}));
    EXPECT_EQ(runConvert({"to-midnam", several, "--all", "-o", "-"}).status, 2);

    // The name sets of a MIDNAM device stay one device: one document, named after the model, needing no
    // choice of definition.
    const std::string device = (dataDir() / "midnam-synth.midnam").string();
    const RunResult whole = runConvert({"to-midnam", device, "-o", "-"}, {}, kEnv);
    ASSERT_EQ(whole.status, 0) << describe(whole);
    EXPECT_THAT(whole.out, HasSubstr("<ChannelNameSet Name=\"Voices\">"));
    EXPECT_THAT(whole.out, HasSubstr("<ChannelNameSet Name=\"Drums\">"));
    TempDir devices;
    ASSERT_EQ(runConvert({"to-midnam", device, "--all", "-o", devices.path().string()}, {}, kEnv).status, 0);
    EXPECT_EQ(entries(devices.path()), (std::set<std::string>{"Tone 1.midnam"}));

    // The manufacturer is the one asked for.
    const RunResult named = runConvert({"to-midnam", (dataDir() / "ins-synth.ins").string(), "--index", "0",
                                        "--manufacturer", "Roland", "-o", "-"},
                                       {}, kEnv);
    EXPECT_THAT(named.out, HasSubstr("<Manufacturer>Roland</Manufacturer>\n    <Model>Synth One</Model>"));

    // Drum-note lists become REAPER note-name files, one per list.
    TempDir notes;
    const RunResult reabank =
        runConvert({"to-reabank", (dataDir() / "ins-synth.ins").string(), "--index", "0", "-o",
                    (dir / "synth.reabank").string(), "--notes", notes.path().string()},
                   {}, kEnv);
    ASSERT_EQ(reabank.status, 0) << describe(reabank);
    EXPECT_EQ(entries(notes.path()), (std::set<std::string>{"Kit.txt"}));
    EXPECT_THAT(readFile(notes / "Kit.txt"), HasSubstr("36 Kick\n"));
    EXPECT_EQ(runConvert({"to-reabank", several, "--index", "0", "--notes", ""}).status, 2);
    EXPECT_THAT(reabank.err, Not(HasSubstr("note name")));

    // Without --notes, the drum-note names are named as left out, with the way to keep them.
    const RunResult bare = runConvert(
        {"to-reabank", (dataDir() / "ins-synth.ins").string(), "--index", "0", "-o", "-"}, {}, kEnv);
    ASSERT_EQ(bare.status, 0) << describe(bare);
    EXPECT_THAT(bare.err,
                HasSubstr(": warning: 1 note name is left out: a REAPER bank file cannot hold them; "
                          "write them as REAPER note-name files with --notes DIR\n"));
}

TEST(ModelCommands, BadXmlNamesItsPlace)
{
    TempDir dir;
    writeFile(dir / "bad.midnam", "<?xml version=\"1.0\"?>\n<MIDINameDocument>\n  <Author>x</Autor>\n");
    const RunResult run =
        runConvert({"to-cakewalk", (dir / "bad.midnam").string(), "-o", (dir / "out.ins").string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, HasSubstr((dir / "bad.midnam").string() + ":3:"));
    EXPECT_THAT(run.err, HasSubstr(": error: malformed XML"));
    EXPECT_FALSE(fs::exists(dir / "out.ins"));
}

TEST(ModelCommands, AFileWithoutPatchesIsNamedAsSuch)
{
    TempDir dir;
    const std::string input = (dataDir() / "ins-synth.ins").string(); // "Synth Two" holds no patch
    const struct
    {
        const char* command;
        const char* file;
    } cases[] = {{"to-cubase", "Cubase patchname script"},
                 {"to-midnam", "MIDNAM document"},
                 {"to-reabank", "REAPER bank file"}};
    for (const auto& c : cases) {
        const RunResult run = runConvert({c.command, input, "--index", "1", "-o", "-"});
        EXPECT_EQ(run.status, 0) << c.command;
        EXPECT_THAT(run.err, HasSubstr("warning: \"Synth Two\" holds no patches: the " + std::string(c.file) +
                                       " written for it names none"));
        const RunResult full = runConvert({c.command, input, "--index", "0", "-o", "-"});
        EXPECT_THAT(full.err, Not(HasSubstr("holds no patches"))) << c.command;
    }
}

TEST(ModelCommands, BlanksAndTabsInNamesFollowEachTargetsRule)
{
    const std::string source = (dataDir() / "midnam-blanks.midnam").string();
    const struct
    {
        const char* command;
        const char* line;
    } targets[] = {
        {"to-midnam", "Name=\"  Pad&#9;X \""},
        {"to-cubase", "]\t  Pad\tX \r\n"},
        {"to-cakewalk", "\n0=Pad\tX\r\n"},
        {"to-reabank", "\n0 Pad X\n"},
    };
    for (const auto& target : targets) {
        SCOPED_TRACE(target.command);
        const RunResult run = runConvert({target.command, source, "-o", "-"}, {}, kEnv);
        ASSERT_EQ(run.status, 0) << describe(run);
        EXPECT_THAT(run.out, HasSubstr(target.line));
    }
}
