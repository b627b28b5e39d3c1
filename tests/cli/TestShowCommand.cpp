// quorvix-convert show: a definition as a terminal shows it, and the JSON document, whose voices are those
// list counts for every corpus file.

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

namespace test = quorvix::test;

namespace {

TEST(ShowCommand, ShowsBanksPatchesNoteListsAndControllers)
{
    const std::string path = (test::dataDir() / "ins-synth.ins").string();
    const auto text = test::runConvert({"show", path, "--index", "0"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, "0  \"Synth One\"  (bank select: CC0 only)\n"
                        "  bank 256  CC0 2  \"Bank A\"\n"
                        "      0  Piano 1  [Kit]\n"
                        "      1  Piano 2b  [Kit]\n"
                        "  bank 0  CC0 0  \"Drums B\"\n"
                        "     36  Kick A  [Kit]\n"
                        "     38  Snare B  [Kit]\n"
                        "  note list \"Kit\": 36 Kick\n");

    const auto json = test::runConvert({"show", path, "--json", "--definition", "Synth One"});
    ASSERT_EQ(json.status, 0) << json.err;
    const auto document = nlohmann::ordered_json::parse(json.out);
    const auto& definition = document.at("definitions").at(0);
    EXPECT_EQ(definition.at("method"), "cc0");
    EXPECT_EQ(definition.at("banks").at(0).dump(), R"({"number":256,"msb":2,"lsb":null,"name":"Bank A"})");
    EXPECT_EQ(definition.at("patches").at(3).dump(),
              R"({"bank":0,"program":38,"name":"Snare B","notes":"Kit"})");
    EXPECT_EQ(definition.at("note_lists").dump(), R"({"Kit":[{"note":36,"name":"Kick"}]})");

    const auto controls =
        test::runConvert({"show", (test::dataDir() / "midnam-synth.midnam").string(), "--json"});
    ASSERT_EQ(controls.status, 0) << controls.err;
    const auto shownControls = nlohmann::json::parse(controls.out);
    for (const auto& shown : shownControls.at("definitions"))
        for (const auto& control : shown.at("controllers"))
            EXPECT_TRUE(control.at("type") == "cc" || control.at("type") == "cc14" ||
                        control.at("type") == "rpn" || control.at("type") == "nrpn");
    EXPECT_EQ(test::runConvert({"show", path, "--index", "9"}).status, 2);
}

TEST(ShowCommand, TheJsonHoldsTheVoicesListCountsForEveryCorpusFile)
{
    const auto corpus = test::corpusDir();
    if (!corpus)
        GTEST_SKIP() << "no corpus";
    for (const auto& entry : std::filesystem::directory_iterator(*corpus / "ins")) {
        if (entry.path().extension() != ".ins")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        const auto list = test::runConvert({"list", entry.path().string()});
        const auto shown = test::runConvert({"show", entry.path().string(), "--json"});
        ASSERT_EQ(shown.status, list.status);
        if (list.status != 0)
            continue;
        std::istringstream lines(list.out);
        const auto definitions = nlohmann::json::parse(shown.out).at("definitions");
        std::size_t index = 0;
        for (std::string line; std::getline(lines, line); ++index)
            EXPECT_EQ(std::to_string(definitions.at(index).at("patches").size()),
                      line.substr(line.rfind('\t') + 1));
        EXPECT_EQ(index, definitions.size());
    }
}

} // namespace
