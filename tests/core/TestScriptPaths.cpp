// The two ways a Cubase script becomes patches: the window's conversion (the definition it writes, read
// back) and the model's reader, which every other conversion uses. They read the same lines, so every script
// must give both the same patches.

#include "TestSupport.h"
#include "base/OutputSink.h"
#include "formats/cubase/CakewalkDefinitionWriter.h"
#include "formats/cubase/ScriptLines.h"
#include "formats/cubase/ScriptReader.h"
#include "formats/ins/InsReader.h"
#include "formats/ins/InsWriter.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace quorvix;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

/// Bank number and program to the name, as an .ins line holds it.
using Patches = std::map<std::pair<std::int32_t, int>, std::string>;

Patches patchesOf(const ReadResult& read)
{
    Patches patches;
    for (const Instrument& instrument : read.set.instruments)
        for (const Bank& bank : instrument.banks)
            if (const PatchList* list = read.set.patchListOf(bank))
                for (const Patch& patch : list->patches) {
                    bool changed = false;
                    patches[{bank.number, patch.program}] = insSafeName(read.set.utf8(patch.name), changed);
                }
    return patches;
}

/// The patches of the definition the window writes; empty when it cannot convert the script.
Patches windowPatches(const std::string& script, std::string& failure)
{
    DefinitionConversion result;
    ScriptConversion conversion;
    if (!conversion.read(script, result)) {
        failure = result.detail;
        return {};
    }
    StringSink out;
    conversion.write("Synth", {"01/01/24", "00:00:00"}, out, result);
    return patchesOf(readIns(out.text));
}

void expectSamePatches(const std::string& script, const std::string& what)
{
    std::string failure;
    const Patches window = windowPatches(script, failure);
    const ReadResult model = readCubaseScript(script, "Synth");
    if (!failure.empty()) {
        // Only the window's limits fail a script that the model reads.
        EXPECT_TRUE(failure.find("longer than 256") != std::string::npos || !model.ok())
            << what << ": " << failure;
        return;
    }
    ASSERT_TRUE(model.ok()) << what;
    EXPECT_EQ(window, patchesOf(model)) << what;
}

TEST(ScriptPaths, EdgeCasesGiveBothPathsTheSamePatches)
{
    const struct
    {
        const char* what;
        std::string script;
    } cases[] = {
        {"three and two numbers in one bank",
         "[p3, 0, 1, 2] Alpha\n[p2, 3, 130]\tBeta\n[p3, 0, 0, 0] Gamma\n"},
        {"one number is program and bank", "[p1, 5] Five\n[p2, 7] Seven\n"},
        {"indented with spaces and with a tab", "   [p2, 1, 0] Spaces\n\t[p2, 2, 0] Tab\n"},
        {"a program named twice keeps the later name", "[p2, 4, 0] First\n[p2, 4, 0] Second\n"},
        {"out of range and negative", "[p2, 200, 0] High\n[p3, 1, 300, 0] Msb\n[p3, 2, -1, -1] None\n"},
        {"names with brackets, commas, semicolons", "[p2, 1, 0] A], b=c ; d\n[p2, 2, 0]  trailing  \n"},
        {"CR LF lines, a last line without its end", "[p2, 1, 0] One\r\n[p2, 2, 0] Two"},
        {"no entry line", "[cubase parse file]\n[end]\n"},
    };
    for (const auto& c : cases)
        expectSamePatches(c.script, c.what);
}

TEST(ScriptPaths, FixtureAndCorpusScriptsGiveBothPathsTheSamePatches)
{
    std::vector<fs::path> scripts;
    for (const auto& entry : fs::directory_iterator(test::dataDir()))
        if (entry.path().extension() == ".txt")
            scripts.push_back(entry.path());
    ASSERT_FALSE(scripts.empty());
    if (const auto corpus = test::corpusDir(); corpus && fs::is_directory(*corpus / "cubase"))
        for (const auto& entry : fs::directory_iterator(*corpus / "cubase"))
            scripts.push_back(entry.path());
    for (const fs::path& script : scripts)
        expectSamePatches(test::readFile(script), script.filename().string());
}

TEST(ScriptLines, EveryReaderTellsTheSameKindsOfLine)
{
    using Kind = ScriptLineKind;
    const ScriptLineOptions window{256, true, false};
    const ScriptLineOptions model{256, false, true};
    const struct
    {
        const char* what;
        std::string script;
        ScriptLineOptions options;
        std::vector<std::pair<Kind, std::string>> lines;
        std::vector<bool> tooLong;
    } cases[] = {
        {"entries after spaces, not after a tab or with a capital P",
         "  [p2, 1, 0] A \n\t [p2, 2, 0] B\n[P2, 3, 0] C\n",
         window,
         {{Kind::Entry, "[p2, 1, 0] A "},
          {Kind::TabIndentedEntry, "[p2, 2, 0] B"},
          {Kind::Other, "[P2, 3, 0] C"}},
         {false, false, false}},
        {"CR LF ends a line, a lone CR at the very end stays",
         "[g1] One\r\n\r\n[p1, 5] X\r",
         model,
         {{Kind::Other, "[g1] One"}, {Kind::Other, ""}, {Kind::Entry, "[p1, 5] X\r"}},
         {false, false, false}},
        {"a byte-order mark only where asked",
         "\xEF\xBB\xBF[p2, 1, 0] A",
         model,
         {{Kind::Entry, "[p2, 1, 0] A"}},
         {false}},
        {"the window cuts at a NUL", "[p2, 1, 0] A\0B\n"s, window, {{Kind::Entry, "[p2, 1, 0] A"}}, {false}},
        {"the model keeps a NUL", "[p2, 1, 0] A\0B"s, model, {{Kind::Entry, "[p2, 1, 0] A\0B"s}}, {false}},
        {"256 characters are read, 257 are too long",
         std::string(256, 'x') + "\n" + std::string(257, 'x'),
         window,
         {{Kind::Other, std::string(256, 'x')}, {Kind::Other, std::string(257, 'x')}},
         {false, true}},
    };
    for (const auto& c : cases) {
        std::vector<std::pair<Kind, std::string>> lines;
        std::vector<bool> tooLong;
        forEachScriptLine(c.script, c.options, [&](const ScriptLine& line) {
            EXPECT_EQ(line.number, lines.size() + 1) << c.what;
            lines.emplace_back(line.kind, std::string(line.text));
            tooLong.push_back(line.tooLong);
            return true;
        });
        EXPECT_EQ(lines, c.lines) << c.what;
        EXPECT_EQ(tooLong, c.tooLong) << c.what;
    }
}

} // namespace
