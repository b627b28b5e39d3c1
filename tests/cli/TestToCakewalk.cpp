#include "TestSupport.h"
#include "base/TimeStamp.h"
#include "formats/cubase/CakewalkDefinitionWriter.h"
#include "legacy/ZT_midifile.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using namespace quorvix;
using namespace quorvix::test;
namespace fs = std::filesystem;

namespace {

const std::string kEpoch = "SOURCE_DATE_EPOCH=0";
const std::string kUtc = "TZ=UTC";

using VoiceTuple = std::tuple<std::int32_t, std::int32_t, std::string>; // bank, program, name
using VoiceKey = std::pair<std::int32_t, std::int32_t>;

std::string trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

// The voices a script's entries stand for, read independently of the converter: "[pN, program, msb, lsb]
// name" with an LSB of -1 counting as 0. A later entry for the same bank and program replaces an earlier
// one, as in the definition's lists; names are compared as the .ins reader keeps them (trimmed, at most 63
// bytes).
std::map<VoiceKey, std::string> scriptVoices(const std::string& bytes)
{
    std::map<VoiceKey, std::string> voices;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t first = line.find_first_not_of(' ');
        if (first == std::string::npos || line.compare(first, 2, "[p") != 0 || line.size() < first + 3 ||
            !std::isdigit(static_cast<unsigned char>(line[first + 2])))
            continue;
        const std::size_t close = line.find(']', first);
        std::vector<int> numbers;
        std::size_t comma = line.find(',', first);
        while (comma != std::string::npos && comma < close) {
            numbers.push_back(std::stoi(line.substr(comma + 1, close - comma - 1)));
            comma = line.find(',', comma + 1);
        }
        EXPECT_EQ(numbers.size(), 3u) << line;
        if (numbers.size() != 3)
            continue;
        const std::int32_t bank = numbers[1] * 128 + (numbers[2] < 0 ? 0 : numbers[2]);
        voices[{bank, numbers[0]}] = trimmed(trimmed(line.substr(close + 1)).substr(0, 63));
    }
    return voices;
}

std::set<VoiceTuple> asSet(const std::map<VoiceKey, std::string>& voices)
{
    std::set<VoiceTuple> set;
    for (const auto& [key, name] : voices)
        set.emplace(key.first, key.second, name);
    return set;
}

// Every voice of the only definition in the .ins file, through our own reader.
std::set<VoiceTuple> loadedVoices(const fs::path& ins, std::string& definitionName)
{
    struct Free
    {
        void operator()(MIDIFile* file) const { ZT_Free(file); }
    };
    std::unique_ptr<MIDIFile, Free> library(ZT_Init());
    EXPECT_EQ(ZT_CWInsLoad(library.get(), ins.string().c_str()), 0u) << ins;
    ZT_cwdef* defs = nullptr;
    int count = 0;
    EXPECT_EQ(ZT_CWInsGetDefs(library.get(), &defs, &count), 0u);
    EXPECT_EQ(count, 1);
    if (defs != nullptr)
        definitionName = defs[0].name;
    ZT_Delete(defs);
    EXPECT_EQ(ZT_CWInsSetDef(library.get(), 0), 0u);
    ZT_cwbankvoice* voices = nullptr;
    long voiceCount = 0;
    char noText[1] = {};
    EXPECT_EQ(ZT_CWInsGetBankVoiceList(library.get(), noText, &voices, &voiceCount), 0u);
    std::set<VoiceTuple> result;
    for (long i = 0; i < voiceCount; ++i)
        result.emplace(voices[i].bank, voices[i].program, std::string(voices[i].name));
    ZT_Delete(voices);
    return result;
}

std::vector<fs::path> filesIn(const fs::path& folder)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

TEST(ToCakewalk, WritesTheDefinitionTheWindowWould)
{
    TempDir dir;
    const fs::path script = dataDir() / "script-synth.txt";
    const fs::path output = dir / "Synth.ins";
    const RunResult run =
        runConvert({"to-cakewalk", script.string(), "-o", output.string()}, {}, {kEpoch, kUtc});
    ASSERT_EQ(run.status, 0) << describe(run);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");

    // The name comes from the script's [device name], trimmed; the stamp from SOURCE_DATE_EPOCH.
    const auto conversion =
        ConvertToCakewalkDefinition(readFile(script), "Synth Alpha", {"01/01/70", "00:00:00"});
    ASSERT_EQ(conversion.status, DefinitionConversion::Status::Ok);
    std::string expected;
    for (const std::string& line : conversion.lines)
        expected += line + "\r\n";
    EXPECT_EQ(readFile(output), expected);
    const auto lines = splitCrLf(expected);
    EXPECT_EQ(lines[4], "; Instrument: Synth Alpha");
    EXPECT_EQ(lines[5], "; Generated with Quorvix 01/01/70 00:00:00");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 14, lines.begin() + 21),
              (std::vector<std::string>{" ", "[Bank0]", "0=Gamma", " ", "[Bank130]", "0=Alpha", "3=Beta"}));

    // -o - writes the same bytes to standard output; --name wins over the device name.
    const RunResult toStdout =
        runConvert({"to-cakewalk", script.string(), "-o", "-", "--name", "Synth Alpha"}, {}, {kEpoch, kUtc});
    ASSERT_EQ(toStdout.status, 0) << describe(toStdout);
    EXPECT_EQ(toStdout.out, expected);
    const RunResult named =
        runConvert({"to-cakewalk", script.string(), "-o", "-", "--name", " "}, {}, {kEpoch});
    EXPECT_NE(named.out.find("\r\n[  ]\r\n"), std::string::npos) << named.out;
}

TEST(ToCakewalk, DefaultNameAndOutputComeFromTheScriptPath)
{
    TempDir dir;
    const fs::path folder = dir / "My.Scripts";
    fs::create_directory(folder);
    const fs::path script = folder / "Synth.TXT";
    writeFile(script, "[cubase parse file]\n[device name]\n[p2, 1, 0, 0] One\n");
    const RunResult run = runConvert({"to-cakewalk", script.string()}, dir.path(), {kEpoch});
    ASSERT_EQ(run.status, 0) << describe(run);
    const fs::path written = folder / "Synth.ins";
    ASSERT_TRUE(fs::exists(written));
    const auto lines = splitCrLf(readFile(written));
    EXPECT_EQ(lines[4], "; Instrument: Synth");
    EXPECT_EQ(lines.back(), "Patch[0]=Bank0");

    // An existing non-empty file stays unless --force is given; an empty one is replaced.
    writeFile(written, "keep me");
    const RunResult refused = runConvert({"to-cakewalk", script.string()}, dir.path(), {kEpoch});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "quorvix-convert: error: " + written.string() +
                               ": already exists and is not empty; use --force to replace it\n");
    EXPECT_EQ(readFile(written), "keep me");
    const RunResult forced = runConvert({"to-cakewalk", script.string(), "--force"}, dir.path(), {kEpoch});
    EXPECT_EQ(forced.status, 0) << describe(forced);
    EXPECT_EQ(splitCrLf(readFile(written)), lines);
    writeFile(written, "");
    EXPECT_EQ(runConvert({"to-cakewalk", script.string()}, dir.path(), {kEpoch}).status, 0);
    EXPECT_EQ(splitCrLf(readFile(written)), lines);
}

TEST(ToCakewalk, FailuresPrintTheWindowsMessagesWithTheReason)
{
    TempDir dir;
    const fs::path banks = dir / "banks.txt";
    std::string manyBanks;
    for (int bank = 0; bank <= 1000; ++bank)
        manyBanks += "[p2, 0, " + std::to_string(bank) + "] V\n";
    writeFile(banks, manyBanks);
    const fs::path longLine = dataDir() / "broken-script-long-line.txt";
    const fs::path missing = dir / "missing.txt";

    struct Case
    {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"to-cakewalk", longLine.string()},
         1,
         "quorvix-convert: error: " + longLine.string() +
             ": Error: No Windows Patchname Script: line 6 is longer than 256 characters\n"},
        {{"to-cakewalk", banks.string()},
         1,
         "quorvix-convert: error: " + banks.string() +
             ": Error Convert: line 1001: bank \"1000\" would be distinct bank number 1001; at most 1000 are "
             "allowed\n"},
        {{"to-cakewalk", missing.string(), "--name", "X"},
         1,
         "quorvix-convert: error: " + missing.string() +
             ": Error Convert: cannot be read: No such file or directory\n"},
        {{"to-cakewalk", dir.path().string(), "--name", "X"},
         1,
         "quorvix-convert: error: " + dir.path().string() +
             ": Error Convert: cannot be read: Is a directory\n"},
        {{"to-cakewalk", "", "--name", "X"},
         1,
         "quorvix-convert: error: '': Error Convert: cannot be read: No such file or directory\n"},
        {{"to-cakewalk", banks.string(), "--name", ""},
         2,
         "quorvix-convert: error: the instrument name must not be empty; give one with --name NAME\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1]);
        TempDir out;
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-o", (out / "out.ins").string()});
        const RunResult run = runConvert(args, {}, {kEpoch});
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.err);
        EXPECT_FALSE(fs::exists(out / "out.ins")) << "a failed conversion writes nothing";
    }
}

TEST(ToCakewalk, EveryCorpusScriptConvertsAndLoadsAgain)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    const auto scripts = filesIn(corpus / "cubase");
    ASSERT_FALSE(scripts.empty());
    for (const fs::path& script : scripts) {
        SCOPED_TRACE(script.filename().string());
        TempDir dir;
        const fs::path output = dir / "out.ins";
        const RunResult run =
            runConvert({"to-cakewalk", script.string(), "-o", output.string()}, {}, {kEpoch});
        ASSERT_EQ(run.status, 0) << describe(run);
        EXPECT_NO_THROW(splitCrLf(readFile(output)));

        std::string name;
        const std::set<VoiceTuple> loaded = loadedVoices(output, name);
        EXPECT_FALSE(name.empty());
        EXPECT_EQ(loaded, asSet(scriptVoices(readFile(script))));
    }
}

TEST(ToCakewalk, CorpusDefinitionsSurviveTheRoundTrip)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    for (const fs::path& ins : filesIn(corpus / "ins")) {
        SCOPED_TRACE(ins.filename().string());
        TempDir dir;
        const RunResult toCubase =
            runConvert({"to-cubase", ins.string(), "--all", "-o", dir.path().string()}, {}, {kEpoch});
        ASSERT_EQ(toCubase.status, 0) << describe(toCubase);
        for (const fs::path& script : filesIn(dir.path())) {
            SCOPED_TRACE(script.filename().string());
            const fs::path back = dir / "back.ins";
            const RunResult toCakewalk =
                runConvert({"to-cakewalk", script.string(), "--name", "Back", "-o", back.string(), "--force"},
                           {}, {kEpoch});
            ASSERT_EQ(toCakewalk.status, 0) << describe(toCakewalk);
            std::string name;
            const std::set<VoiceTuple> loaded = loadedVoices(back, name);
            EXPECT_EQ(name, "Back");
            EXPECT_EQ(loaded, asSet(scriptVoices(readFile(script))));
            for (const auto& [bank, program, voice] : loaded) {
                EXPECT_TRUE(bank >= 0 && bank < 128 * 128) << bank;
                EXPECT_TRUE(program >= 0 && program < 128) << program;
            }
            fs::remove(back);
        }
    }
}

TEST(ToCakewalk, WarningsComeWhateverTheTargetAndBeforeItsError)
{
    // The definition is written while the warnings are made; a target that cannot be opened still gets the
    // script's warnings, then its own error, as when the text was made first.
    TempDir dir;
    const fs::path script = dir / "odd.txt";
    writeFile(script, "\t[p2, 1, 1]\tTabbed\r\n[p2, 1, 1]\tA ;b\r\n[p2, 1, 1]\tB\r\n");
    const std::string warnings =
        script.string() +
        ":1: warning: entry line indented with a tab left out: only an entry line indented with "
        "spaces (or not at all) is read\n" +
        script.string() +
        ":2: warning: patch name \"A ;b\" is written as \"A;b\": a \";\" after a blank would "
        "start a comment\n" +
        script.string() +
        ":2: warning: \"A ;b\" (program 1, bank 1) will not read back from the definition: "
        "program 1 of this bank is named again later; a reader keeps only the last name\n" +
        script.string() + ": warning: 1 entry of the script will not read back from the written definition\n";

    const RunResult toStdout =
        runConvert({"to-cakewalk", script.string(), "--name", "N", "-o", "-"}, {}, {kEpoch});
    EXPECT_EQ(toStdout.status, 0) << describe(toStdout);
    EXPECT_EQ(toStdout.err, warnings);
    EXPECT_NE(toStdout.out.find("\r\n[Bank1]\r\n1=A;b\r\n1=B\r\n"), std::string::npos) << toStdout.out;

    const fs::path target = dir / "missing folder" / "out.ins";
    const RunResult unopened =
        runConvert({"to-cakewalk", script.string(), "--name", "N", "-o", target.string()}, {}, {kEpoch});
    EXPECT_EQ(unopened.status, 1);
    EXPECT_EQ(unopened.err.substr(0, warnings.size()), warnings);
    EXPECT_EQ(
        unopened.err.find("quorvix-convert: error: " + target.string() + ": cannot be written: the folder"),
        warnings.size())
        << unopened.err;
}
