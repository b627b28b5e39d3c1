// Several inputs into one conversion: to-cakewalk writes one .ins of every definition of all of them with
// every voice kept, definitions of one name kept apart; writers of one file per definition write each
// input's definitions as with --all, their warnings naming the input each comes from.

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

using namespace quorvix::test;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kEnv = {"SOURCE_DATE_EPOCH=0", "TZ=UTC"};

/// The voices of every definition of an .ins file, as show --json gives them (bank, program, name).
nlohmann::json voicesOf(const fs::path& ins)
{
    const RunResult shown = runConvert({"show", ins.string(), "--json"});
    EXPECT_EQ(shown.status, 0) << describe(shown);
    nlohmann::json voices = nlohmann::json::array();
    const nlohmann::json document = nlohmann::json::parse(shown.out);
    for (const auto& definition : document.at("definitions")) {
        nlohmann::json patches = nlohmann::json::array();
        for (const auto& patch : definition.at("patches"))
            patches.push_back({patch.at("bank"), patch.at("program"), patch.at("name")});
        voices.push_back(patches);
    }
    return voices;
}

TEST(SeveralInputs, ToCakewalkOfThreeFormatsKeepsEveryVoiceOfEach)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    const std::vector<std::vector<std::string>> triples = {
        {"ins/GM2.ins", "midnam/Access_Virus_A.midnam", "reabank/fp-90.reabank"},
        {"rgd/Alesis-QS6.rgd", "idf/Casio_CDP-S360.idf", "cubase/Fractal Axe Fx III.txt"},
        {"hapax/iridium/iridium-layer1.txt", "csv/jdxi-editor/doc/csv/presets.csv", "ins/KORG_KROME.ins"},
    };
    for (const auto& triple : triples) {
        SCOPED_TRACE(triple.front());
        TempDir dir;
        std::vector<std::string> merge = {"to-cakewalk"};
        nlohmann::json expected = nlohmann::json::array();
        for (std::size_t i = 0; i < triple.size(); ++i) {
            const std::string input = (corpus / triple[i]).string();
            const fs::path single = dir / ("single" + std::to_string(i) + ".ins");
            const RunResult one = runConvert({"to-cakewalk", input, "-o", single.string()}, {}, kEnv);
            ASSERT_EQ(one.status, 0) << describe(one);
            for (const auto& definition : voicesOf(single))
                expected.push_back(definition);
            merge.push_back(input);
        }
        merge.insert(merge.end(), {"-o", (dir / "master.ins").string()});
        const RunResult merged = runConvert(merge, {}, kEnv);
        ASSERT_EQ(merged.status, 0) << describe(merged);
        EXPECT_EQ(voicesOf(dir / "master.ins"), expected);
    }
}

TEST(SeveralInputs, DefinitionsOfOneNameAreKeptApartAndSharedListsWrittenOnce)
{
    TempDir dir;
    writeFile(dir / "a.ins",
              ".Patch Names\n[Piano]\n0=Grand\n.Instrument Definitions\n[Synth]\nPatch[0]=Piano\n");
    writeFile(dir / "b.ins", ".Patch Names\n[Piano]\n0=Grand\n[Other]\n0=Lead\n.Instrument Definitions\n"
                             "[Synth]\nPatch[0]=Piano\nPatch[1]=Other\n");
    const RunResult run = runConvert({"to-cakewalk", "a.ins", "b.ins", "-o", "-"}, dir.path(), kEnv);
    ASSERT_EQ(run.status, 0) << describe(run);
    EXPECT_EQ(run.err,
              "b.ins: warning: definition \"Synth\" is written as \"Synth (2)\": a definition of that "
              "name comes earlier, and Cakewalk keeps one definition of a name\n");
    EXPECT_NE(run.out.find("; Source: a.ins, b.ins\r\n"), std::string::npos);
    EXPECT_NE(run.out.find(".Patch Names\r\n\r\n[Piano]\r\n0=Grand\r\n\r\n[Other]\r\n0=Lead\r\n\r\n.Note"),
              std::string::npos)
        << run.out;
    EXPECT_NE(
        run.out.find("[Synth]\r\nPatch[0]=Piano\r\n\r\n[Synth (2)]\r\nPatch[0]=Piano\r\nPatch[1]=Other\r\n"),
        std::string::npos)
        << run.out;
}

TEST(SeveralInputs, OneFilePerDefinitionWritersWriteEveryInputsDefinitions)
{
    TempDir dir;
    fs::copy_file(dataDir() / "ins-synth.ins", dir / "synth.ins");
    fs::copy_file(dataDir() / "reabank-synth.reabank", dir / "bank.reabank");
    struct Case
    {
        std::vector<std::string> args;
        int status;
        std::string out; ///< the files written, or the start of the error
    };
    const std::vector<Case> cases = {
        {{"to-midnam", "synth.ins", "bank.reabank", "-o", "all/"},
         0,
         "Quorvix Test Synth.midnam Synth One.midnam Synth Two.midnam"},
        {{"to-reabank", "synth.ins", "bank.reabank", "--index", "2", "-o", "one.reabank"}, 0, "one.reabank"},
        {{"to-cubase", "synth.ins", "bank.reabank", "--index", "3"},
         2,
         "quorvix-convert: error: --index 3 is out of range: the 2 files hold 3 instrument definitions"},
        {{"to-cubase", "synth.ins", "bank.reabank", "-o", "-"},
         2,
         "quorvix-convert: error: --all writes one file per definition"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        const RunResult run = runConvert(c.args, dir.path(), kEnv);
        ASSERT_EQ(run.status, c.status) << describe(run);
        if (c.status != 0) {
            EXPECT_NE(run.err.find(c.out), std::string::npos) << run.err;
            continue;
        }
        std::string names;
        for (const std::string& name : entriesOf(fs::is_directory(dir / "all") ? dir / "all" : dir.path()))
            names += (names.empty() ? "" : " ") + name;
        if (c.args.front() == "to-midnam") {
            EXPECT_EQ(names, c.out);
            // Each file names its own input as its source; the warnings name the input they are about.
            EXPECT_NE(readFile(dir / "all" / "Synth One.midnam").find("from synth.ins -->"),
                      std::string::npos);
            EXPECT_NE(run.err.find("bank.reabank:"), std::string::npos) << run.err;
        } else {
            EXPECT_NE(readFile(dir / c.out).find("// Instrument: Quorvix Test Synth"), std::string::npos);
        }
    }
}

} // namespace
