// quorvix-convert to-hapax: a definition of more than 128 voices as numbered files in the folder -o names,
// -o naming a folder for one file too, and the usage errors of a missing folder and of --drum-rows.

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

using namespace quorvix::test;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kEnv = {"SOURCE_DATE_EPOCH=0", "TZ=UTC"};

/// An .ins file with a definition "Big" of `banks` banks of 100 voices and a definition "Small" of one.
std::string bigAndSmall(int banks)
{
    std::string text = ".Patch Names\n[Hundred]\n";
    for (int p = 0; p < 100; ++p)
        text += std::to_string(p) + "=Voice " + std::to_string(p) + "\n";
    text += ".Instrument Definitions\n[Big]\n";
    for (int b = 0; b < banks; ++b)
        text += "Patch[" + std::to_string(b) + "]=Hundred\n";
    return text + "[Small]\nPatch[5]=Hundred\n";
}

} // namespace

TEST(ToHapax, MoreThan128VoicesAreNumberedFilesInTheFolderThatOMustName)
{
    TempDir dir;
    writeFile(dir / "synth.ins", bigAndSmall(3));
    const RunResult split =
        runConvert({"to-hapax", "synth.ins", "--definition", "Big", "-o", "HAPAX/"}, dir.path(), kEnv);
    ASSERT_EQ(split.status, 0) << describe(split);
    EXPECT_EQ(split.err,
              "quorvix-convert: note: created folder HAPAX/\nsynth.ins: warning: \"Big\": 300 voices are "
              "more than the 128 [PC] lines of a Hapax definition: written as 3 files of whole banks, "
              "each with the definition's other sections\n");
    EXPECT_EQ(entriesOf(dir / "HAPAX"), (std::set<std::string>{"Big 1.txt", "Big 2.txt", "Big 3.txt"}));
    const std::string second = readFile(dir / "HAPAX" / "Big 2.txt");
    EXPECT_EQ(
        second.substr(0, second.find("[PC]\n") + 5),
        "VERSION 1\n# Generated with Quorvix 01/01/70 00:00:00 from synth.ins: file 2 of 3\nTRACKNAME Big\n"
        "TYPE POLY\n[PC]\n");
    EXPECT_NE(second.find("\n1:0:1 Voice 0\n"), std::string::npos) << "the second file holds the second bank";

    // --all puts every definition's files into the folder; one file keeps the definition's name.
    const RunResult all = runConvert({"to-hapax", "synth.ins", "--all", "-o", "all"}, dir.path(), kEnv);
    ASSERT_EQ(all.status, 0) << describe(all);
    EXPECT_EQ(entriesOf(dir / "all"),
              (std::set<std::string>{"Big 1.txt", "Big 2.txt", "Big 3.txt", "Small.txt"}));

    // A folder that is there takes the default name of one file; a file is not replaced without --force.
    fs::create_directory(dir / "card");
    const RunResult one =
        runConvert({"to-hapax", "synth.ins", "--definition", "Small", "-o", "card"}, dir.path(), kEnv);
    EXPECT_EQ(one.status, 0) << describe(one);
    EXPECT_EQ(entriesOf(dir / "card"), std::set<std::string>{"Small.txt"});
    const RunResult again =
        runConvert({"to-hapax", "synth.ins", "--definition", "Big", "-o", "HAPAX"}, dir.path(), kEnv);
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("Big 1.txt: already exists and is not empty; use --force to replace it"),
              std::string::npos)
        << again.err;
}

TEST(ToHapax, SeveralFilesWithoutAFolderAndDrumRowsOtherThan8Or16AreUsageErrors)
{
    TempDir dir;
    writeFile(dir / "synth.ins", bigAndSmall(2));
    const std::string folder = "\"Big\" is written as 2 files: -o must name a folder for them";
    const struct
    {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"--definition", "Big"}, folder + " (one that is there, or a path ending in /)"},
        {{"--definition", "Big", "-o", "Big.txt"}, folder + " (one that is there, or a path ending in /)"},
        {{"--definition", "Big", "-o", "-"}, folder + ", not standard output"},
        {{"--definition", "Small", "--drum-rows", "9"}, "--drum-rows takes 8 or 16, not \"9\""},
        {{"--definition", "Small", "--drum-rows", "08"}, "--drum-rows takes 8 or 16, not \"08\""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"to-hapax", "synth.ins"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult run = runConvert(args, dir.path(), kEnv);
        EXPECT_EQ(run.status, 2) << describe(run);
        EXPECT_EQ(run.err, "quorvix-convert: error: " + c.err + "\n");
    }
    EXPECT_EQ(entriesOf(dir.path()), std::set<std::string>{"synth.ins"}) << "nothing is written";

    const RunResult sixteen = runConvert(
        {"to-hapax", "synth.ins", "--definition", "Small", "--drum-rows", "16", "-o", "-"}, dir.path(), kEnv);
    EXPECT_EQ(sixteen.status, 0) << describe(sixteen);
    EXPECT_EQ(sixteen.out.substr(0, 10), "VERSION 1\n");
}
