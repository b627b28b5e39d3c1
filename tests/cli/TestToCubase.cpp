#include "ScriptedHost.h"
#include "TestSupport.h"
#include "app/ConverterDialog.h"
#include "formats/cubase/CubaseScriptWriter.h"
#include "legacy/ZT_midifile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <tuple>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using quorvix::test::readFile;
using quorvix::test::runConvert;
using quorvix::test::TempDir;
using quorvix::test::writeFile;

namespace {

const std::string kSingle = (quorvix::test::dataDir() / "to-cubase-single.ins").string();
const std::string kSeveral = (quorvix::test::dataDir() / "to-cubase-several.ins").string();
const std::string kNoDefinitions =
    (quorvix::test::dataDir() / "broken-to-cubase-no-definitions.ins").string();

std::vector<std::string> epochEnv(const std::string& value)
{
    return {"TZ=UTC", "SOURCE_DATE_EPOCH=" + value};
}

class ToCubase : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The window's side of the comparison stamps in this process's time zone; the program's in UTC.
#if defined(_WIN32)
        ::_putenv_s("TZ", "UTC");
        ::_tzset();
#else
        ::setenv("TZ", "UTC", 1);
        ::tzset();
#endif
    }

    /// What the window's "Save Script" writes for the definition at `index` when its clock says `moment`.
    static std::string windowScript(const std::string& insPath, int index, std::time_t moment)
    {
        TempDir dir;
        quorvix::test::ScriptedHost host;
        quorvix::ConverterDialog window(host, quorvix::MidiLibrary::standard(), [moment] { return moment; });
        host.window = &window;
        window.OnInitDialog();
        host.openAnswers.push_back(insPath);
        host.selections.push_back(index);
        window.LoadInstrumentDefinition();
        window.ConvertToCubaseScript();
        const auto saved = dir / "saved.txt";
        host.saveAnswers.push_back(saved.string());
        window.SaveScript();
        return readFile(saved);
    }
};

struct Entry
{
    std::string tag;
    std::int32_t program, bank;
    std::string name;
    auto key() const { return std::tie(program, bank, name); }
    bool operator<(const Entry& other) const { return key() < other.key(); }
    bool operator==(const Entry& other) const { return key() == other.key(); }
};

// The entries of a script read back, each with the heading level it stands under.
std::vector<Entry> readEntries(const std::vector<std::string>& lines, std::string& problem)
{
    std::vector<Entry> entries;
    int level = 0;
    for (const auto& line : lines) {
        if (line.rfind("[g1]", 0) == 0)
            level = 1;
        else if (line.rfind("[g2]", 0) == 0)
            level = 2;
        if (line.size() < 3 || line.rfind("[p", 0) != 0 || line[2] < '0' || line[2] > '9')
            continue;
        int tag = 0, program = 0, msb = 0, lsb = 0;
        const auto close = line.find("]\t");
        if (std::sscanf(line.c_str(), "[p%d, %d, %d, %d]", &tag, &program, &msb, &lsb) != 4 ||
            close == std::string::npos) {
            problem = "unreadable entry: " + line;
            return {};
        }
        if (tag != level + 1)
            problem =
                "entry tag p" + std::to_string(tag) + " under a level " + std::to_string(level) + " heading";
        entries.push_back({"p" + std::to_string(tag), program, msb * 128 + lsb, line.substr(close + 2)});
    }
    return entries;
}

// The name an entry line carries: cut after the first "}", then to 30 bytes, then cleaned in place.
std::string cleanedName(std::string_view name)
{
    if (const auto brace = name.find('}'); brace != std::string_view::npos)
        name = name.substr(0, brace + 1);
    std::string cut(name.substr(0, std::min<std::size_t>(name.size(), 30)));
    for (char& c : cut) {
        if (!quorvix::IsScriptCharacter(static_cast<unsigned char>(c)))
            c = ' ';
    }
    return cut;
}

struct Definition
{
    std::string name;
    std::vector<Entry> voices; // the voices any group takes, as their entries must read
    std::size_t leftOut = 0;
};

// Every definition of a file with its voices, read in this process through the library functions.
std::vector<Definition> readDefinitions(const std::string& path)
{
    std::vector<Definition> result;
    MIDIFile* file = ZT_Init();
    ZT_cwdef* defs = nullptr;
    int count = 0;
    if (ZT_CWInsLoad(file, path.c_str()) == 0 && ZT_CWInsGetDefs(file, &defs, &count) == 0) {
        for (int i = 0; i < count; ++i) {
            Definition definition{defs[i].name, {}, 0};
            ZT_cwbankvoice* voices = nullptr;
            long voiceCount = 0;
            char text[1] = {};
            if (ZT_CWInsSetDef(file, i) == 0 &&
                ZT_CWInsGetBankVoiceList(file, text, &voices, &voiceCount) == 0) {
                for (long v = 0; v < voiceCount; ++v) {
                    const auto& voice = voices[v];
                    if (voice.bank < 0 || voice.bank > 16383 || voice.program < 0 || voice.program > 127)
                        ++definition.leftOut;
                    else
                        definition.voices.push_back(
                            {"", voice.program, voice.bank, cleanedName(quorvix::VoiceName(voice))});
                }
            }
            ZT_Delete(voices);
            result.push_back(std::move(definition));
        }
    }
    ZT_Delete(defs);
    ZT_Free(file);
    return result;
}

} // namespace

TEST_F(ToCubase, SingleDefinitionIsWhatTheWindowSavesUnderItsDefaultName)
{
    TempDir dir;
    const auto run = runConvert({"to-cubase", kSingle}, dir.path(), epochEnv("1700000000"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "");
    const auto path = dir / "Test Synth10 A.txt";
    ASSERT_TRUE(fs::exists(path));
    const std::string bytes = readFile(path);
    EXPECT_EQ(bytes, windowScript(kSingle, 0, 1700000000));

    const auto lines = quorvix::test::splitCrLf(bytes);
    ASSERT_GT(lines.size(), 12u);
    EXPECT_EQ(lines[2], "[comment] Cubase Patchname Scriptfile generated with Quorvix 11/14/23 22:13:20");
    EXPECT_EQ(lines[6], "[device name] Test Synth-1.0 (A)");
    EXPECT_EQ(lines.back(), "[end]");
    for (const auto& expected :
         {"[p3,   0, 127,   0]\tStandard Kit", "[p3,  40,   0,   0]\tViolin Solo",
          "[p3,   0,   0, 105]\tPanel Piano", "[p2,   5,   2,  44]\tFar Out Voice With A Very Long",
          "[p2,   6,   2,  44]\tCaf  Pad 1 {A}"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;

    const auto toStdout = runConvert({"to-cubase", kSingle, "-o", "-"}, dir.path(), epochEnv("1700000000"));
    ASSERT_EQ(toStdout.status, 0) << toStdout.err;
    EXPECT_EQ(toStdout.out, bytes) << "-o - writes the same bytes, CR LF included";

    const auto named =
        runConvert({"to-cubase", kSingle, "-o", (dir / "sub.txt").string()}, {}, epochEnv("1700000000"));
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(readFile(dir / "sub.txt"), bytes);
}

TEST_F(ToCubase, DefinitionIsChosenByIndexByNameOrNotAtAll)
{
    TempDir dir;
    const std::string list = "\n  0\tAlpha\n  1\tBeta\n  2\tAlpha?\n  3\talpha\n  4\tBeta\n";

    const auto none = runConvert({"to-cubase", kSeveral}, dir.path());
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err,
              "quorvix-convert: error: \"" + kSeveral +
                  "\" holds 5 instrument definitions (0 to 4); choose one with --index N, --definition "
                  "NAME or --all:" +
                  list);

    const auto byIndex =
        runConvert({"to-cubase", kSeveral, "--index", "4", "-o", "-"}, {}, epochEnv("86399"));
    ASSERT_EQ(byIndex.status, 0) << byIndex.err;
    EXPECT_EQ(byIndex.out, windowScript(kSeveral, 4, 86399));

    const auto byName =
        runConvert({"to-cubase", kSeveral, "--definition", "Beta", "-o", "-"}, {}, epochEnv("5"));
    ASSERT_EQ(byName.status, 0) << byName.err;
    EXPECT_EQ(byName.out, windowScript(kSeveral, 1, 5)) << "the first definition of that name";

    struct Usage
    {
        std::vector<std::string> args;
        std::string message; // the start of stderr
    };
    const std::vector<Usage> usages = {
        {{"--index", "5"},
         "quorvix-convert: error: --index 5 is out of range: \"" + kSeveral +
             "\" holds 5 instrument definitions"},
        {{"--index", "-1"}, "quorvix-convert: error: --index -1 is out of range"},
        {{"--definition", "Gamma"}, "quorvix-convert: error: no instrument definition is named \"Gamma\""},
        {{"--definition", "alpha "}, "quorvix-convert: error: no instrument definition is named \"alpha \""},
        {{"--index", "1", "--all"}, "--index excludes --all"},
        {{"--index", "1", "--definition", "Beta"}, "--index excludes --definition"},
        {{"--index", "x"}, ""},
        {{"--all", "-o", "-"}, "quorvix-convert: error: --all writes one file per definition"},
    };
    for (const auto& usage : usages) {
        auto args = std::vector<std::string>{"to-cubase", kSeveral};
        args.insert(args.end(), usage.args.begin(), usage.args.end());
        const auto run = runConvert(args, dir.path());
        EXPECT_EQ(run.status, 2) << usage.args.front() << ": " << run.err;
        EXPECT_EQ(run.err.rfind(usage.message, 0), 0u) << run.err;
    }
    EXPECT_TRUE(fs::is_empty(dir.path())) << "a usage error writes nothing";
}

TEST_F(ToCubase, AllWritesOneScriptPerDefinitionAndNumbersRepeatedNames)
{
    TempDir dir;
    fs::create_directory(dir / "out");
    const auto run =
        runConvert({"to-cubase", kSeveral, "--all", "-o", (dir / "out").string()}, {}, epochEnv("42"));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> files = {"Alpha.txt", "Beta.txt", "Alpha (2).txt", "alpha (3).txt",
                                            "Beta (2).txt"};
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(dir / "out")) {
        (void)entry;
        ++count;
    }
    EXPECT_EQ(count, files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        ASSERT_TRUE(fs::exists(dir / "out" / files[i])) << files[i];
        EXPECT_EQ(readFile(dir / "out" / files[i]), windowScript(kSeveral, static_cast<int>(i), 42))
            << files[i];
    }

    // Into the current folder by default; existing non-empty files stop the whole run before anything is
    // written.
    writeFile(dir / "Beta (2).txt", "keep me");
    const auto refused = runConvert({"to-cubase", kSeveral, "--all"}, dir.path(), epochEnv("42"));
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(
        refused.err,
        "quorvix-convert: error: Beta (2).txt: already exists and is not empty; use --force to replace it\n");
    EXPECT_FALSE(fs::exists(dir / "Alpha.txt"));
    EXPECT_EQ(readFile(dir / "Beta (2).txt"), "keep me");

    const auto forced = runConvert({"to-cubase", kSeveral, "--all", "--force"}, dir.path(), epochEnv("42"));
    ASSERT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(readFile(dir / "Beta (2).txt"), windowScript(kSeveral, 4, 42));
    EXPECT_TRUE(fs::exists(dir / "alpha (3).txt"));

    // A missing folder is made; only something else in its place is refused.
    const auto noFolder = runConvert({"to-cubase", kSeveral, "--all", "-o", (dir / "missing").string()});
    EXPECT_EQ(noFolder.status, 0) << noFolder.err;
    EXPECT_EQ(noFolder.err, "quorvix-convert: note: created folder " + (dir / "missing").string() + "\n");
    EXPECT_TRUE(fs::exists(dir / "missing" / "Alpha.txt"));
    const auto fileInTheWay =
        runConvert({"to-cubase", kSeveral, "--all", "-o", (dir / "Alpha.txt").string()});
    EXPECT_EQ(fileInTheWay.status, 1);
    EXPECT_EQ(fileInTheWay.err,
              "quorvix-convert: error: " + (dir / "Alpha.txt").string() + ": is not a folder\n");
}

TEST_F(ToCubase, ExistingNonEmptyFileIsReplacedOnlyWithForce)
{
    TempDir dir;
    const auto target = dir / "Test Synth10 A.txt";
    writeFile(target, "old text that is longer than nothing");
    const auto refused = runConvert({"to-cubase", kSingle}, dir.path(), epochEnv("0"));
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(
        refused.err,
        "quorvix-convert: error: Test Synth10 A.txt: already exists and is not empty; use --force to replace "
        "it\n");
    EXPECT_EQ(readFile(target), "old text that is longer than nothing");

    const auto forced = runConvert({"to-cubase", kSingle, "--force"}, dir.path(), epochEnv("0"));
    ASSERT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(readFile(target), windowScript(kSingle, 0, 0));

    writeFile(target, "");
    const auto empty = runConvert({"to-cubase", kSingle}, dir.path(), epochEnv("0"));
    ASSERT_EQ(empty.status, 0) << "an empty file is replaced without --force: " << empty.err;
    EXPECT_EQ(readFile(target), windowScript(kSingle, 0, 0));
}

TEST_F(ToCubase, SourceDateEpochMakesTheScriptReproducible)
{
    const auto first = runConvert({"to-cubase", kSingle, "-o", "-"}, {}, epochEnv("1234567890"));
    const auto second = runConvert({"to-cubase", kSingle, "-o", "-"}, {}, epochEnv("1234567890"));
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, second.out);
    EXPECT_EQ(quorvix::test::splitCrLf(first.out)[2],
              "[comment] Cubase Patchname Scriptfile generated with Quorvix 02/13/09 23:31:30");

    const std::vector<std::pair<std::string, std::string>> valid = {{"0", "01/01/70 00:00:00"},
                                                                    {"0000086400", "01/02/70 00:00:00"},
                                                                    {"253402300799", "12/31/99 23:59:59"}};
    for (const auto& [value, stamp] : valid) {
        const auto run = runConvert({"to-cubase", kSingle, "-o", "-"}, {}, epochEnv(value));
        ASSERT_EQ(run.status, 0) << value << ": " << run.err;
        EXPECT_EQ(quorvix::test::splitCrLf(run.out)[2],
                  "[comment] Cubase Patchname Scriptfile generated with Quorvix " + stamp);
    }

    const auto local =
        runConvert({"to-cubase", kSingle, "-o", "-"}, {}, {"TZ=XST-5", "SOURCE_DATE_EPOCH=1234567890"});
    ASSERT_EQ(local.status, 0) << local.err;
    EXPECT_EQ(quorvix::test::splitCrLf(local.out)[2],
              "[comment] Cubase Patchname Scriptfile generated with Quorvix 02/14/09 04:31:30")
        << "the moment is shown in the local time zone";

    TempDir dir;
    for (const std::string value :
         {"", "abc", "-1", "+5", " 5", "12x", "1.5", "253402300800", "99999999999999999999999"}) {
        const auto run = runConvert({"to-cubase", kSingle}, dir.path(), epochEnv(value));
        EXPECT_EQ(run.status, 2) << "\"" << value << "\"";
        EXPECT_EQ(run.err, "quorvix-convert: error: SOURCE_DATE_EPOCH must be a whole number of seconds from "
                           "0 to 253402300799, not \"" +
                               value + "\"\n");
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(ToCubase, FileErrorsNameThePathAndTheReason)
{
    TempDir dir;
    const auto missing = runConvert({"to-cubase", (dir / "absent.ins").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.rfind(
                  "quorvix-convert: error: " + (dir / "absent.ins").string() + ": Error Open InsDef-File", 0),
              0u)
        << missing.err;

    const auto noDefinitions = runConvert({"to-cubase", kNoDefinitions});
    EXPECT_EQ(noDefinitions.status, 1);
    EXPECT_EQ(noDefinitions.err,
              "quorvix-convert: error: " + kNoDefinitions + ": Error: No Instrumentendefinitions in file\n");

    writeFile(dir / "plain", "a file");
    const auto parentIsFile = runConvert({"to-cubase", kSingle, "-o", (dir / "plain" / "x.txt").string()});
    EXPECT_EQ(parentIsFile.status, 1);
    EXPECT_EQ(parentIsFile.err.rfind("quorvix-convert: error: " + (dir / "plain" / "x.txt").string() +
                                         ": cannot be written: ",
                                     0),
              0u)
        << parentIsFile.err;
    EXPECT_GT(
        parentIsFile.err.size(),
        ("quorvix-convert: error: " + (dir / "plain" / "x.txt").string() + ": cannot be written: \n").size())
        << "the system's reason follows";

    if (fs::exists("/dev/full")) {
        const auto full = runConvert({"to-cubase", kSingle, "-o", "/dev/full"});
        EXPECT_EQ(full.status, 1);
        EXPECT_EQ(full.err.rfind("quorvix-convert: error: /dev/full: cannot be written: ", 0), 0u)
            << full.err;
    }

#if !defined(_WIN32)
    if (::geteuid() != 0) {
        fs::create_directory(dir / "locked");
        writeFile(dir / "locked" / "kept.txt", "kept");
        ::chmod((dir / "locked").c_str(), 0500);
        const auto locked =
            runConvert({"to-cubase", kSingle, "--force", "-o", (dir / "locked" / "kept.txt").string()});
        EXPECT_EQ(locked.status, 1);
        EXPECT_NE(locked.err.find("cannot write"), std::string::npos) << locked.err;
        EXPECT_EQ(readFile(dir / "locked" / "kept.txt"), "kept");
    }
#endif
}

TEST_F(ToCubase, HelpShowsAnExample)
{
    const auto help = runConvert({"to-cubase", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("quorvix-convert to-cubase Synth.ins --definition \"My Synth\" -o MySynth.txt"),
              std::string::npos)
        << help.out;
    for (const char* option :
         {"--index", "--definition", "--all", "-o,--output", "--force", "SOURCE_DATE_EPOCH"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;

    const auto noFile = runConvert({"to-cubase"});
    EXPECT_EQ(noFile.status, 2);
    EXPECT_NE(noFile.err.find("FILE is required"), std::string::npos) << noFile.err;
}

TEST_F(ToCubase, EveryCorpusDefinitionConvertsAndReadsBack)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    std::size_t files = 0;
    for (const auto& item : fs::directory_iterator(corpus / "ins")) {
        if (!item.is_regular_file() || item.path().extension() != ".ins")
            continue;
        ++files;
        const std::string path = item.path().string();
        const auto definitions = readDefinitions(path);
        ASSERT_FALSE(definitions.empty()) << path;
        for (std::size_t i = 0; i < definitions.size(); ++i) {
            const auto& definition = definitions[i];
            SCOPED_TRACE(path + " #" + std::to_string(i) + " " + definition.name);
            const auto run =
                runConvert({"to-cubase", path, "--index", std::to_string(i), "-o", "-"}, {}, epochEnv("0"));
            ASSERT_EQ(run.status, 0) << run.err;
            const auto lines = quorvix::test::splitCrLf(run.out);
            ASSERT_GE(lines.size(), 15u);
            EXPECT_EQ(lines[0], "[cubase parse file]");
            EXPECT_EQ(lines[6], "[device name] " + definition.name);
            EXPECT_EQ(lines.back(), "[end]");

            std::string problem;
            auto entries = readEntries(lines, problem);
            EXPECT_EQ(problem, "");
            auto expected = definition.voices;
            std::sort(entries.begin(), entries.end());
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(entries.size(), expected.size());
            EXPECT_TRUE(entries == expected) << "every entry is a voice of the definition, each voice once";
            EXPECT_EQ(definition.leftOut, 0u);
        }

        TempDir dir;
        const auto all = runConvert({"to-cubase", path, "--all"}, dir.path(), epochEnv("0"));
        ASSERT_EQ(all.status, 0) << path << ": " << all.err;
        std::size_t written = 0;
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            (void)entry;
            ++written;
        }
        EXPECT_EQ(written, definitions.size()) << path;
    }
    EXPECT_GE(files, 20u);

    for (const char* foreign : {"midi.ins", "piano.ins"}) {
        const auto run = runConvert({"to-cubase", (corpus / "ins" / "foreign" / foreign).string()});
        EXPECT_EQ(run.status, 1) << foreign;
        EXPECT_NE(run.err.find("Error Open InsDef-File"), std::string::npos) << run.err;
    }
}
