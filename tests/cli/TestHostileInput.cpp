// Hostile and broken input, through quorvix-convert and through the core: every case ends with its documented
// message or exit status, never with a crash, a hang or a partial output file.

#include "ScriptedHost.h"
#include "TestSupport.h"
#include "app/ConverterDialog.h"
#include "app/Messages.h"
#include "formats/cubase/CakewalkDefinitionWriter.h"
#include "formats/ins/InsReader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace quorvix;
using quorvix::test::readFile;
using quorvix::test::runConvert;
using quorvix::test::RunResult;
using quorvix::test::ScriptedHost;
using quorvix::test::splitCrLf;
using quorvix::test::TempDir;
using quorvix::test::writeFile;
using ::testing::HasSubstr;
using ::testing::Not;
namespace fs = std::filesystem;

namespace {

const std::string kEpoch = "SOURCE_DATE_EPOCH=1700000000";
const std::string kForty = "1234567890123456789012345678901234567890";

std::string validIns(std::string_view name = "Piano")
{
    return ".Patch Names\r\n[Tones]\r\n0=" + std::string(name) +
           "\r\n1=Strings\r\n\r\n.Instrument Definitions\r\n"
           "[Synth]\r\nPatch[0]=Tones\r\n";
}

std::string scriptEntry(int program, int msb, int lsb, std::string_view name)
{
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "[p3, %3d, %3d, %3d]\t", program, msb, lsb);
    return numbers + std::string(name) + "\r\n";
}

/// Everything in a folder, by name (a partial output or a leftover temporary file shows up here).
std::set<std::string> folderEntries(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

/// The inputs every test shares; the large ones are made once, in a temporary folder.
class Inputs
{
public:
    static Inputs& get()
    {
        static Inputs inputs;
        return inputs;
    }

    const fs::path& folder() const { return m_dir.path(); }

    /// A file of the given bytes, made once under `name`.
    fs::path file(const std::string& name, const std::function<std::string()>& bytes)
    {
        const fs::path path = m_dir / name;
        if (!fs::exists(path))
            writeFile(path, bytes());
        return path;
    }

    /// 100 MB without a single line end.
    fs::path singleLine()
    {
        const fs::path path = m_dir / "single-line.bin";
        if (!fs::exists(path)) {
            std::ofstream out(path, std::ios::binary);
            const std::string block(1 << 20, 'x');
            for (int i = 0; i < 100; ++i)
                out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
        return path;
    }

private:
    TempDir m_dir;
};

std::string binaryBytes()
{
    // An executable's header followed by every byte value, with no line end within the first 300 bytes.
    std::string bytes("\x7f"
                      "ELF\x02\x01\x01",
                      7);
    bytes.append(9, '\0');
    for (int round = 0; round < 4; ++round)
        for (int value = 255; value >= 0; --value)
            bytes += static_cast<char>(value == '\n' ? 'n' : value);
    bytes += "\n.Patch Names\n"; // a section line after the binary part must not make it a definition file
    return bytes;
}

std::string millionLinesIns()
{
    std::string text = ".Patch Names\n[Long]\n";
    text.reserve(12'000'000);
    for (int i = 0; i < 1'000'000 - 5; ++i) {
        text += std::to_string(i % 128);
        text += "=Voice ";
        text += std::to_string(i);
        text += '\n';
    }
    text += ".Instrument Definitions\n[Long Synth]\nPatch[0]=Long\n";
    return text;
}

std::string millionLinesScript()
{
    std::string text = "[cubase parse file]\r\n[define patchnames]\r\n";
    text.reserve(30'000'000);
    char line[64];
    for (int i = 0; i < 1'000'000 - 2; ++i) {
        std::snprintf(line, sizeof line, "[p3, %3d, %3d, %3d]\tV%d\r\n", i % 128, (i / 128) % 8, 0, i);
        text += line;
    }
    return text;
}

std::string manyInstrumentsIns(int count)
{
    std::string text =
        ".Patch Names\n[Shared]\nBasedOn=Base\n1=One\n[Base]\n0=Zero\n2=Two\n.Instrument Definitions\n";
    text.reserve(static_cast<std::size_t>(count) * 40);
    for (int i = 0; i < count; ++i)
        text += "[Instrument " + std::to_string(i) + "]\nPatch[" + std::to_string(i % 16384) + "]=Shared\n";
    return text;
}

std::string banksScript(int banks)
{
    std::string text = "[cubase parse file]\r\n[define patchnames]\r\n";
    for (int bank = 0; bank < banks; ++bank)
        text += scriptEntry(bank % 128, bank / 128, bank % 128, "Bank " + std::to_string(bank));
    text += scriptEntry(5, 0, 0, "Again in the first bank");
    return text;
}

const std::string kCycleIns =
    ".Patch Names\n[A]\nBasedOn=B\n0=Alpha\n[B]\nBasedOn=C\n1=Beta\n[C]\nBasedOn=A\n2=Gamma\n"
    ".Instrument Definitions\n[Cycle]\nPatch[0]=A\nPatch[1]=C\n";
const std::string kSelfIns = ".Patch Names\n[Me]\nBasedOn=Me\n0=Myself\n.Instrument Definitions\n[Self]\n"
                             "Patch[0]=Me\n";
const std::string kInvalidUtf8 = "Bad \xC3\x28 \xFF\xFE \xE2\x82 \xED\xA0\x80 end";
const std::string kWindows1252 = "Caf\xE9 Cr\xE8me \x80 \x93quoted\x94";

// ---------------------------------------------------------------------------------------------------------
// .ins files through "list" and "to-cubase"
// ---------------------------------------------------------------------------------------------------------

struct InsCase
{
    const char* name;
    std::function<fs::path()> input;
    int status;                           ///< exit status of both list and to-cubase
    std::vector<std::string> err;         ///< texts stderr must hold (either command)
    std::string listed;                   ///< text the listing must hold on success
    std::vector<std::string> choose = {}; ///< to-cubase options choosing the definition
};

std::vector<InsCase> insCases()
{
    auto& in = Inputs::get();
    const std::string openFailed = messages::kOpenInsFailed;
    return {
        {"empty",
         [&] { return in.file("empty.ins", [] { return std::string(); }); },
         1,
         {openFailed, ": is empty"},
         ""},
        {"binary", [&] { return in.file("binary.ins", binaryBytes); }, 1, {openFailed, "NUL byte"}, ""},
        {"nul bytes",
         [&] { return in.file("zeros.ins", [] { return std::string(4096, '\0'); }); },
         1,
         {openFailed, "NUL byte"},
         ""},
        {"100 MB single line",
         [&] { return in.singleLine(); },
         1,
         {"single-line.bin: is none of the files Quorvix reads"},
         ""},
        {"directory", [&] { return in.folder(); }, 1, {openFailed}, ""},
        {"missing file",
         [&] { return in.folder() / "no such file.ins"; },
         1,
         {openFailed, "No such file"},
         ""},
        {"1e6 lines", [&] { return in.file("million.ins", millionLinesIns); }, 0, {}, "0\tLong Synth\t128\n"},
        {"invalid UTF-8",
         [&] { return in.file("utf8.ins", [] { return validIns(kInvalidUtf8); }); },
         0,
         {},
         "0\tSynth\t2\n"},
        {"Windows-1252",
         [&] { return in.file("cp1252.ins", [] { return validIns(kWindows1252); }); },
         0,
         {},
         "0\tSynth\t2\n"},
        {"40 digits",
         [&] {
             return in.file("digits.ins", [] {
                 return ".Patch Names\n[Big]\n" + kForty +
                        "=Huge\n0=Small\n.Instrument Definitions\n[Digits]\n"
                        "Patch[" +
                        kForty + "]=Big\nPatch[0]=Big\nBankSelMethod=" + kForty + "\n";
             });
         },
         0,
         {"warning"},
         "0\tDigits\t"},
        {"BasedOn cycle",
         [&] { return in.file("cycle.ins", [] { return kCycleIns; }); },
         0,
         {"warning", "leads back"},
         "0\tCycle\t"},
        {"list based on itself",
         [&] { return in.file("self.ins", [] { return kSelfIns; }); },
         0,
         {"warning", "leads back"},
         "0\tSelf\t1\n"},
        {"100 000 instruments",
         [&] { return in.file("many.ins", [] { return manyInstrumentsIns(100'000); }); },
         0,
         {},
         "99999\tInstrument 99999\t3\n",
         {"--index", "99999"}},
    };
}

class HostileIns : public ::testing::TestWithParam<std::size_t>
{};

TEST_P(HostileIns, ListAndToCubaseEndAsDocumented)
{
    const InsCase test = insCases()[GetParam()];
    SCOPED_TRACE(test.name);
    const fs::path input = test.input();

    const RunResult list = runConvert({"list", input.string()});
    EXPECT_EQ(list.status, test.status) << describe(list);
    if (test.status == 0)
        EXPECT_THAT(list.out, HasSubstr(test.listed));
    else
        EXPECT_EQ(list.out, "") << "a failed listing prints nothing on stdout";

    // Without -o the script goes into the working folder: a failure must leave it empty.
    TempDir work;
    std::vector<std::string> args{"to-cubase", input.string()};
    args.insert(args.end(), test.choose.begin(), test.choose.end());
    const RunResult convert = runConvert(args, work.path(), {kEpoch});
    EXPECT_EQ(convert.status, test.status) << describe(convert);
    for (const auto& text : test.err)
        EXPECT_THAT(list.err + convert.err, HasSubstr(text)) << describe(list) << describe(convert);
    if (test.status != 0) {
        EXPECT_THAT(convert.err, HasSubstr(input.string())) << "the message names the file";
        EXPECT_TRUE(folderEntries(work.path()).empty()) << "a failed conversion writes nothing";
        return;
    }
    const auto written = folderEntries(work.path());
    ASSERT_EQ(written.size(), 1u) << describe(convert);
    const auto lines = splitCrLf(readFile(work / *written.begin()));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "[end]") << "the script is complete";
}

INSTANTIATE_TEST_SUITE_P(Table, HostileIns, ::testing::Range<std::size_t>(0, insCases().size()),
                         [](const auto& info) {
                             std::string name = insCases()[info.param].name;
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                             return name;
                         });

TEST(HostileInsBytes, NamesOutsideAsciiAreListedAsReadAndCleanedInTheScript)
{
    TempDir work;
    for (const auto& name : {kInvalidUtf8, kWindows1252}) {
        const auto input = work / "in.ins";
        writeFile(input, validIns(name));
        const RunResult list = runConvert({"list", input.string()});
        ASSERT_EQ(list.status, 0) << describe(list);

        InsFile file;
        ASSERT_TRUE(file.load(input.string())) << file.error();
        const auto voices = file.voices(0);
        ASSERT_EQ(voices.size(), 2u);
        EXPECT_EQ(voices[0].name, name) << "the reader keeps the bytes as read";

        const RunResult convert = runConvert({"to-cubase", input.string(), "-o", "-"}, work.path(), {kEpoch});
        ASSERT_EQ(convert.status, 0) << describe(convert);
        std::string expected = name.substr(0, 30);
        std::replace_if(
            expected.begin(), expected.end(), [](char c) { return static_cast<unsigned char>(c) >= 128; },
            ' ');
        EXPECT_THAT(convert.out, HasSubstr("[p3,   0,   0,   0]\t" + expected + "\r\n"))
            << "bytes a script cannot hold become spaces";
    }
}

// ---------------------------------------------------------------------------------------------------------
// Scripts through "to-cakewalk"
// ---------------------------------------------------------------------------------------------------------

struct ScriptCase
{
    const char* name;
    std::function<fs::path()> input;
    int status;
    std::vector<std::string> err; ///< texts stderr must hold
    std::vector<std::string> out; ///< lines the definition must hold on success
};

std::vector<ScriptCase> scriptCases()
{
    auto& in = Inputs::get();
    const std::string tooLong = messages::kNoWindowsScript;
    const std::string convertFailed = messages::kConvertFailed;
    return {
        {"empty",
         [&] { return in.file("empty.txt", [] { return std::string(); }); },
         1,
         {tooLong + ": is empty"},
         {}},
        {"binary",
         [&] { return in.file("binary.txt", binaryBytes); },
         1,
         {tooLong, "NUL byte (at byte 7)"},
         {}},
        {"nul bytes",
         [&] { return in.file("zeros.txt", [] { return std::string(4096, '\0'); }); },
         1,
         {tooLong, "NUL byte (at byte 0)"},
         {}},
        {"UTF-16 with a byte-order mark",
         [&] { return in.file("utf16.txt", [] { return std::string("\xFF\xFE[\0p\0", 6); }); },
         1,
         {tooLong, "is UTF-16 text"},
         {}},
        {"100 MB single line", [&] { return in.singleLine(); }, 1, {tooLong, "line 1"}, {}},
        {"directory", [&] { return in.folder(); }, 1, {convertFailed}, {}},
        {"missing file",
         [&] { return in.folder() / "no such script.txt"; },
         1,
         {convertFailed, "No such file"},
         {}},
        {"1e6 lines",
         [&] { return in.file("million.txt", millionLinesScript); },
         0,
         {},
         {"[Bank896]", "0=V0", "Patch[896]=Bank896"}},
        {"invalid UTF-8",
         [&] { return in.file("utf8.txt", [] { return scriptEntry(1, 0, 0, kInvalidUtf8); }); },
         0,
         {},
         {"1=" + kInvalidUtf8}},
        {"Windows-1252",
         [&] { return in.file("cp1252.txt", [] { return scriptEntry(2, 0, 0, kWindows1252); }); },
         0,
         {},
         {"2=" + kWindows1252}},
        {"40 digits",
         [&] {
             return in.file("digits.txt", [] {
                 return "[p2, " + kForty + ", " + kForty + "]\tHuge\r\n[p3, " + kForty + ", " + kForty +
                        ", " + kForty + "]\tHuger\r\n";
             });
         },
         0,
         {},
         {"[Bank" + kForty + "]", kForty + "=Huge", "Patch[" + kForty + "]=Bank" + kForty,
          kForty + "=Huger"}},
        {"NUL inside a name",
         [&] {
             return in.file("nul-name.txt",
                            [] { return scriptEntry(3, 0, 0, std::string("Null\0Byte", 9)); });
         },
         1,
         {tooLong, "NUL byte"},
         {}},
        {"1000 banks",
         [&] { return in.file("banks1000.txt", [] { return banksScript(1000); }); },
         0,
         {},
         {"[Bank999]", "Patch[999]=Bank999", "5=Again in the first bank"}},
        {"1001 banks",
         [&] { return in.file("banks1001.txt", [] { return banksScript(1001); }); },
         1,
         {convertFailed, "\"1000\"", "1001"},
         {}},
    };
}

class HostileScript : public ::testing::TestWithParam<std::size_t>
{};

TEST_P(HostileScript, ToCakewalkEndsAsDocumented)
{
    const ScriptCase test = scriptCases()[GetParam()];
    SCOPED_TRACE(test.name);
    const fs::path input = test.input();

    TempDir work;
    const auto output = work / "out.ins";
    const RunResult run = runConvert(
        {"to-cakewalk", input.string(), "--name", "Hostile", "-o", output.string()}, work.path(), {kEpoch});
    EXPECT_EQ(run.status, test.status) << describe(run);
    for (const auto& text : test.err)
        EXPECT_THAT(run.err, HasSubstr(text)) << describe(run);
    if (test.status != 0) {
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << "one failure, one message";
        EXPECT_TRUE(folderEntries(work.path()).empty()) << "a failed conversion writes nothing";
        return;
    }
    ASSERT_EQ(folderEntries(work.path()), std::set<std::string>{"out.ins"}) << describe(run);
    const auto lines = splitCrLf(readFile(output));
    for (const auto& line : test.out)
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << "missing line: " << line;
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.back().rfind("Patch[", 0) == 0 || lines.back() == "[ Hostile]")
        << "the definition is complete: " << lines.back();

    // What the program writes, the program can read again.
    const RunResult reload = runConvert({"list", output.string()});
    EXPECT_EQ(reload.status, 0) << describe(reload);
    EXPECT_THAT(reload.out, HasSubstr("0\tHostile\t")) << describe(reload);
}

INSTANTIATE_TEST_SUITE_P(Table, HostileScript, ::testing::Range<std::size_t>(0, scriptCases().size()),
                         [](const auto& info) {
                             std::string name = scriptCases()[info.param].name;
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                             return name;
                         });

TEST(HostileScriptCore, TheReaderStopsAtTheFirstLongLineWithoutReadingTheRest)
{
    // 100 MB in one line fails at line 1, and so does a lone-CR file.
    const std::string singleLine = readFile(Inputs::get().singleLine());
    const auto result = ConvertToCakewalkDefinition(singleLine, "X", {"01/01/24", "00:00:00"});
    EXPECT_EQ(result.status, DefinitionConversion::Status::LineTooLong);
    EXPECT_EQ(result.lineNumber, 1u);
    EXPECT_EQ(result.lines.GetSize(), 0);

    std::string loneCr;
    for (int i = 0; i < 20; ++i)
        loneCr += scriptEntry(i, 0, 0, "Lone CR").substr(0, 25) + "\r";
    const auto crResult = ConvertToCakewalkDefinition(loneCr, "X", {"01/01/24", "00:00:00"});
    EXPECT_EQ(crResult.status, DefinitionConversion::Status::LineTooLong);
}

// ---------------------------------------------------------------------------------------------------------
// Paths with spaces and characters outside ASCII
// ---------------------------------------------------------------------------------------------------------

TEST(HostilePaths, SpacesAndNonAsciiCharactersWorkInEveryCommand)
{
    TempDir work;
    const fs::path folder = work / "Ordner mit Leerzeichen \xC3\xA4\xC3\xB6\xC3\xBC \xE6\x97\xA5\xE6\x9C\xAC";
    fs::create_directory(folder);
    const fs::path ins = folder / "Gr\xC3\xBC\xC3\x9F"
                                  "e  zwei Leer.ins";
    writeFile(ins, validIns());

    const RunResult list = runConvert({"list", ins.string()});
    ASSERT_EQ(list.status, 0) << describe(list);
    EXPECT_EQ(list.out, "0\tSynth\t2\n");

    const fs::path script = folder / "S\xC3\xB8ng script.v2.txt";
    const RunResult toCubase =
        runConvert({"to-cubase", ins.string(), "-o", script.string()}, work.path(), {kEpoch});
    ASSERT_EQ(toCubase.status, 0) << describe(toCubase);

    // Without -o the definition goes beside the script, with the script's extension replaced.
    const RunResult toCakewalk = runConvert({"to-cakewalk", script.string()}, work.path(), {kEpoch});
    ASSERT_EQ(toCakewalk.status, 0) << describe(toCakewalk);
    const fs::path ins2 = folder / "S\xC3\xB8ng script.v2.ins";
    ASSERT_TRUE(fs::exists(ins2)) << describe(toCakewalk);
    const auto lines = splitCrLf(readFile(ins2));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "0=Piano"), lines.end());
    EXPECT_EQ(folderEntries(folder),
              (std::set<std::string>{ins.filename().string(), script.filename().string(),
                                     ins2.filename().string()}));

    // A missing file in such a folder is named in the message as given.
    const fs::path missing = folder / "fehlt \xC3\xA9.txt";
    const RunResult gone =
        runConvert({"to-cakewalk", missing.string(), "--name", "X"}, work.path(), {kEpoch});
    EXPECT_EQ(gone.status, 1);
    EXPECT_THAT(gone.err, HasSubstr(missing.string()));
}

// ---------------------------------------------------------------------------------------------------------
// The core: the reader and the main window
// ---------------------------------------------------------------------------------------------------------

TEST(HostileInsCore, TheReaderRejectsWhatIsNoDefinitionFileAndWarnsOnBrokenReferences)
{
    struct Row
    {
        const char* name;
        std::string bytes;
        bool loads;
        std::string message; ///< part of error() on failure, of some warning on success
    };
    const std::vector<Row> rows{
        {"empty", "", false, "none of the section lines"},
        {"binary", binaryBytes(), false, "NUL byte (at byte 7)"},
        {"nul bytes", std::string(64, '\0'), false, "NUL byte (at byte 0)"},
        {"cycle", kCycleIns, true, "leads back to it"},
        {"self", kSelfIns, true, "leads back to it"},
        {"digits",
         ".Patch Names\n[L]\n" + kForty + "=X\n.Instrument Definitions\n[I]\nPatch[" + kForty + "]=L\n", true,
         ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        InsFile file;
        ASSERT_EQ(file.parse(row.bytes), row.loads) << file.error();
        if (!row.loads) {
            EXPECT_THAT(file.error(), HasSubstr(row.message));
            EXPECT_EQ(file.definitionCount(), 0u);
            continue;
        }
        ASSERT_EQ(file.definitionCount(), 1u);
        EXPECT_FALSE(file.warnings().empty());
        if (!row.message.empty()) {
            const bool found =
                std::any_of(file.warnings().begin(), file.warnings().end(), [&](const InsWarning& w) {
                    return w.message.find(row.message) != std::string::npos;
                });
            EXPECT_TRUE(found) << row.message;
        }
        for (const auto& voice : file.voices(0)) {
            EXPECT_GE(voice.program, 0);
            EXPECT_LE(voice.program, 127);
        }
    }

    // The cycle is cut at one place, so that every list keeps its own entries.
    InsFile cycle;
    ASSERT_TRUE(cycle.parse(kCycleIns));
    std::set<std::string> names;
    for (const auto& voice : cycle.voices(0))
        names.insert(std::string(voice.name));
    EXPECT_TRUE(names.count("Alpha") == 1 && names.count("Beta") == 1 && names.count("Gamma") == 1);
}

/// The load command of the window on files that are no definition files.
TEST(HostileInsCore, TheWindowShowsErrorOpenInsDefFileForEveryNonDefinitionFile)
{
    auto& in = Inputs::get();
    const std::vector<fs::path> inputs{
        in.file("empty.ins", [] { return std::string(); }), in.file("binary.ins", binaryBytes),
        in.file("nul.ins", [] { return std::string(4096, '\0'); }), in.folder(), in.folder() / "missing.ins"};
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.string());
        ScriptedHost host;
        ConverterDialog window(host);
        host.window = &window;
        window.OnInitDialog();
        host.openAnswers.push_back(input.string());
        window.LoadInstrumentDefinition();
        // The window's message first, then the file and the reason.
        ASSERT_EQ(host.messages().size(), 1u);
        EXPECT_EQ(host.messages()[0].rfind(
                      std::string(messages::kOpenInsFailed) + "\n\n" + input.string() + ": ", 0),
                  0u)
            << host.messages()[0];
        EXPECT_FALSE(window.isEnabled(Button::ConvertToScript));
    }
}

TEST(HostileScriptCore, AScriptThatVanishesBetweenLoadAndConvertFailsWithErrorConvert)
{
    TempDir work;
    const auto script = work / "vanishing.txt";
    writeFile(script, scriptEntry(0, 0, 0, "Soon gone"));

    ScriptedHost host;
    ConverterDialog window(host);
    host.window = &window;
    window.OnInitDialog();
    // Lines of an earlier conversion stay untouched by the failure.
    host.openAnswers.push_back(script.string());
    host.nameAnswers.push_back("Before");
    window.LoadCubaseScript();
    window.ConvertToCakewalkDefinition();
    ASSERT_TRUE(window.isEnabled(Button::SaveDefinition));
    const TextLines before = window.lines();
    host.saveAnswers.push_back(std::nullopt);
    window.SaveInsfile();

    host.events.clear();
    host.openAnswers.push_back(script.string());
    window.LoadCubaseScript();
    ASSERT_TRUE(window.isEnabled(Button::ConvertToDefinition));
    fs::remove(script);
    host.nameAnswers.push_back("After");
    window.ConvertToCakewalkDefinition();

    EXPECT_EQ(host.messages(),
              (std::vector<std::string>{messages::kLoadScriptDone,
                                        std::string(messages::kConvertFailed) + "\n\n" + script.string() +
                                            ": cannot be read: No such file or directory"}));
    EXPECT_EQ(host.buttons(), "1000 1020") << "the window is back at its first state";
    ASSERT_EQ(window.lines().GetSize(), before.GetSize());
    for (int i = 0; i < before.GetSize(); ++i)
        EXPECT_EQ(window.lines()[i], before[i]);
    EXPECT_TRUE(folderEntries(work.path()).empty());
}

TEST(HostileInsCore, ADefinitionFileThatVanishesAfterLoadingStillConverts)
{
    // The voices are read at load time; the conversion needs the file no more.
    TempDir work;
    const auto ins = work / "vanishing.ins";
    writeFile(ins, validIns());
    ScriptedHost host;
    ConverterDialog window(host);
    host.window = &window;
    window.OnInitDialog();
    host.openAnswers.push_back(ins.string());
    host.selections.push_back(0);
    window.LoadInstrumentDefinition();
    ASSERT_TRUE(window.isEnabled(Button::ConvertToScript)) << ::testing::PrintToString(host.messages());
    fs::remove(ins);
    window.ConvertToCubaseScript();
    EXPECT_EQ(host.messages().back(), messages::kScriptConverted);
    const auto& lines = window.lines();
    ASSERT_GT(lines.GetSize(), 0);
    EXPECT_EQ(lines[lines.GetSize() - 1], "[end]");
}

} // namespace
