#include "TestSupport.h"
#include "formats/cubase/CubaseScriptWriter.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

using quorvix::test::makeVoice;

using quorvix::ConvertToCubaseScript;
using quorvix::DefaultScriptFileName;
using quorvix::TextLines;
using quorvix::TimeStamp;

namespace {

using Lines = std::vector<std::string>;

const TimeStamp kStamp{"03/09/07", "08:05:59"};

struct Converted
{
    Lines header; // the first twelve lines
    Lines body;   // everything after them
    std::vector<std::int32_t> leftOut;
    std::vector<std::uint8_t> taken;
    std::int32_t cursor = -1;
};

Converted convert(const std::vector<ZT_cwbankvoice>& voices, std::string_view name = "Synth")
{
    Converted result;
    result.taken.assign(voices.size(), 0);
    TextLines lines;
    lines.Add("left from before");
    result.cursor = 77;
    result.leftOut = ConvertToCubaseScript(voices.data(), static_cast<std::int32_t>(voices.size()),
                                           result.taken.data(), result.cursor, name, kStamp, lines);
    for (int i = 0; i < lines.GetSize(); ++i)
        (i < 12 ? result.header : result.body).push_back(lines[i]);
    return result;
}

Lines join(std::initializer_list<Lines> parts)
{
    Lines all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

const Lines kXg = {"", "[mode]\tXG Voices", "", "[g1]\tStandard XG Voices", ""};
const Lines kEnd = {"", "", "[end]"}; // step 9's blank line, then the closing blank line and [end]

} // namespace

TEST(CubaseScript, HeaderCarriesTheStampTheCreditsAndTheNameUnchanged)
{
    const auto result = convert({}, "Synth-X 1.2 (Bank A) \xE9;");
    const Lines expected = {
        "[cubase parse file]",
        "[parser version 0001]",
        "[comment] Cubase Patchname Scriptfile generated with Quorvix 03/09/07 08:05:59",
        "[creators first name] Quorvix",
        "[creators last name] converter - https://quorvix.org",
        "[device manufacturer] -",
        "[device name] Synth-X 1.2 (Bank A) \xE9;",
        "[script name] Synth-X 1.2 (Bank A) \xE9;",
        "[script version] -",
        "",
        "[define patchnames]",
        "",
    };
    EXPECT_EQ(result.header, expected);
    EXPECT_EQ(std::string("[creators first name] ") + quorvix::kScriptCreatorFirstName, expected[3]);
    EXPECT_EQ(std::string("[creators last name] ") + quorvix::kScriptCreatorLastName, expected[4]);

    const auto empty = convert({}, "");
    EXPECT_EQ(empty.header[6], "[device name] ");
    EXPECT_EQ(empty.header[7], "[script name] ");

    const auto broken = convert({}, "Two\r\nLines\n[end]");
    EXPECT_EQ(broken.header[6], "[device name] Two  Lines [end]")
        << "a line break never splits a header line";
    EXPECT_EQ(broken.header[7], "[script name] Two  Lines [end]");
}

TEST(CubaseScript, DocumentStructureForEachKindOfVoiceList)
{
    struct Case
    {
        const char* what;
        std::vector<ZT_cwbankvoice> voices;
        Lines body;
        std::vector<std::int32_t> leftOut;
    };
    const std::vector<Case> cases = {
        {"an empty list: three blank lines before [end]", {}, {"", "", "[end]"}, {}},
        {"a single piano voice",
         {makeVoice(0, 0, "Grand Piano")},
         join({kXg, {"[g2]\t\tPiano", "[p3,   0,   0,   0]\tGrand Piano"}, kEnd}),
         {}},
        {"bank 16383 goes to Other Voices with tag p2, the heading right after the blank line",
         {makeVoice(16383, 5, "Far")},
         {"", "[g1]\tOther Voices", "[p2,   5, 127, 127]\tFar", "", "[end]"},
         {}},
        {"bank 103 fits neither XG nor panel",
         {makeVoice(103, 0, "Lost")},
         {"", "[g1]\tOther Voices", "[p2,   0,   0, 103]\tLost", "", "[end]"},
         {}},
        {"out-of-range bank and program are left out and reported in list order",
         {makeVoice(20000, 1, "Big"), makeVoice(5, 130, "High"), makeVoice(200, 2, "Kept")},
         // Bank 5 opens the XG section even though its voice then fits no group.
         join({kXg, {"", "[g1]\tOther Voices", "[p2,   2,   1,  72]\tKept", "", "[end]"}}),
         {0, 1}},
        {"a negative bank opens the XG section but no group takes it",
         {makeVoice(-1, 0, "Neg")},
         join({kXg, kEnd}),
         {0}},
        {"drum bank with program 128: the drum section opens, the voice is left out",
         {makeVoice(16256, 128, "Kit")},
         {"[mode10]\tDrumkits", "", "[g1]\tDrum- and SFX-Kits", "", "", "", "[end]"},
         {0}},
        {"no XG drum kits: two blank lines before the second drum group",
         {makeVoice(16128, 0, "SFX"), makeVoice(15360, 0, "GM2 Kit")},
         {"[mode10]\tDrumkits", "", "[g1]\tDrum- and SFX-Kits", "", "", "[g2]\t\tXG SFX and Drums",
          "[p3,   0, 126,   0]\tSFX", "", "[g2]\t\tGM2 SFX and Drums", "[p3,   0, 120,   0]\tGM2 Kit", "", "",
          "[end]"},
         {}},
        {"bank 8192 alone is no XG section",
         {makeVoice(8192, 3, "Sfx")},
         {"", "[g1]\tOther Voices", "[p2,   3,  64,   0]\tSfx", "", "[end]"},
         {}},
        {"bank 8192 with an XG voice goes to XG SFX",
         {makeVoice(8192, 3, "Sfx"), makeVoice(1, 9, "Celesta")},
         join({kXg,
               {"", "[g2]\t\tChromatic Percussion", "[p3,   9,   0,   1]\tCelesta", "", "[g2]\t\tXG SFX",
                "[p3,   3,  64,   0]\tSfx"},
               kEnd}),
         {}},
        {"mega voices without a panel voice go to Other Voices",
         {makeVoice(1025, 0, "Mega"), makeVoice(1060, 1, "Art")},
         {"", "[g1]\tOther Voices", "[p2,   0,   8,   1]\tMega", "[p2,   1,   8,  36]\tArt", "", "[end]"},
         {}},
        {"panel voices without XG voices write the mode line themselves",
         {makeVoice(1025, 0, "Mega"), makeVoice(110, 127, "Panel Fx"), makeVoice(1060, 1, "Art")},
         {"", "[mode]\tXG Voices", "", "[g1]\tPanel Voices", "", "", "[g2]\t\tSound Effects",
          "[p3, 127,   0, 110]\tPanel Fx", "", "[g2]\t\tMega Voice", "[p3,   0,   8,   1]\tMega", "",
          "[g2]\t\tArticulation Voice", "[p3,   1,   8,  36]\tArt", "", "", "[end]"},
         {}},
        {"XG, panel and GM2 voices: one mode line",
         {makeVoice(15490, 0, "GM2 Piano"), makeVoice(105, 0, "Panel Piano"), makeVoice(0, 0, "XG Piano")},
         join({kXg,
               {"[g2]\t\tPiano", "[p3,   0,   0,   0]\tXG Piano", "", "[g1]\tPanel Voices", "",
                "[g2]\t\tPiano", "[p3,   0,   0, 105]\tPanel Piano", "", "[g1]\tGM2 Voices", "",
                "[g2]\t\tPiano", "[p3,   0, 121,   2]\tGM2 Piano"},
               kEnd}),
         {}},
        {"GM2 voices alone write the mode line",
         {makeVoice(15497, 127, "Gunshot")},
         {"", "[mode]\tXG Voices", "", "[g1]\tGM2 Voices", "", "", "[g2]\t\tSound Effects",
          "[p3, 127, 121,   9]\tGunshot", "", "", "[end]"},
         {}},
        {"equal voices both, in list order; entries are never sorted",
         {makeVoice(0, 7, "Second"), makeVoice(0, 0, "Twin"), makeVoice(0, 0, "Twin"),
          makeVoice(0, 24, "Nylon")},
         join({kXg,
               {"[g2]\t\tPiano", "[p3,   7,   0,   0]\tSecond", "[p3,   0,   0,   0]\tTwin",
                "[p3,   0,   0,   0]\tTwin", "", "[g2]\t\tGuitar", "[p3,  24,   0,   0]\tNylon"},
               kEnd}),
         {}},
        {"drum kits, XG and Other Voices in that order",
         {makeVoice(300, 0, "Other"), makeVoice(16256, 0, "Kit"), makeVoice(2, 40, "Violin")},
         {"[mode10]\tDrumkits", "", "[g1]\tDrum- and SFX-Kits", "", "[g2]\t\tXG Drumkits",
          "[p3,   0, 127,   0]\tKit", "", "[mode]\tXG Voices", "", "[g1]\tStandard XG Voices", "", "",
          "[g2]\t\tStrings", "[p3,  40,   0,   2]\tViolin", "", "[g1]\tOther Voices",
          "[p2,   0,   2,  44]\tOther", "", "[end]"},
         {}},
    };
    for (const auto& c : cases) {
        const auto result = convert(c.voices);
        EXPECT_EQ(result.body, c.body) << c.what;
        EXPECT_EQ(result.leftOut, c.leftOut) << c.what;
        EXPECT_EQ(result.cursor, 0) << c.what;
        for (std::size_t i = 0; i < c.voices.size(); ++i) {
            const bool leftOut = std::find(c.leftOut.begin(), c.leftOut.end(),
                                           static_cast<std::int32_t>(i)) != c.leftOut.end();
            EXPECT_EQ(result.taken[i], leftOut ? 0 : 1) << c.what << ", voice " << i;
        }
    }
}

TEST(CubaseScript, EveryVoiceLandsWhereTheBankTableSays)
{
    // A list that opens every section, then each probe bank with every program from 0 to 127.
    const std::vector<std::int32_t> probes = {
        0,    57,   101,  102,  103,   104,   105,   127,   128,   1023,  1024,  1026,  1027,  1055, 1056,
        1062, 1063, 8191, 8192, 15359, 15360, 15487, 15488, 15497, 15498, 16128, 16256, 16383, -1,   16384};
    std::vector<ZT_cwbankvoice> voices;
    for (const auto bank : probes) {
        for (std::int32_t program = 0; program < 128; ++program)
            voices.push_back(makeVoice(bank, program, std::to_string(bank) + "/" + std::to_string(program)));
    }
    const auto result = convert(voices);

    const auto& families = quorvix::test::kVoiceFamilies;
    auto expectedHeading = [&](std::int32_t bank, std::int32_t program) -> std::string {
        const std::string family = families[program / 8];
        if (bank == 16256)
            return "Drum- and SFX-Kits/XG Drumkits";
        if (bank == 16128)
            return "Drum- and SFX-Kits/XG SFX and Drums";
        if (bank == 15360)
            return "Drum- and SFX-Kits/GM2 SFX and Drums";
        if (bank >= 0 && bank <= 101)
            return "Standard XG Voices/" + family;
        if (bank == 8192)
            return "Standard XG Voices/XG SFX";
        if (bank >= 105 && bank <= 127)
            return "Panel Voices/" + family;
        if (bank >= 1024 && bank <= 1026)
            return "Panel Voices/Mega Voice";
        if (bank >= 1056 && bank <= 1062)
            return "Panel Voices/Articulation Voice";
        if (bank >= 15488 && bank <= 15497)
            return "GM2 Voices/" + family;
        if (bank >= 0 && bank <= 16383)
            return "Other Voices/";
        return "left out";
    };

    // Read the script back: which heading stands above each entry, and its tag.
    std::map<std::string, std::pair<std::string, std::string>> found; // name -> (heading, tag)
    std::string g1;
    std::string g2;
    for (const auto& line : result.body) {
        if (line.rfind("[g1]\t", 0) == 0) {
            g1 = line.substr(5);
            g2.clear();
        } else if (line.rfind("[g2]\t\t", 0) == 0) {
            g2 = line.substr(6);
        } else if (line.rfind("[p", 0) == 0) {
            const auto tab = line.find('\t');
            ASSERT_NE(tab, std::string::npos);
            const auto name = line.substr(tab + 1);
            EXPECT_EQ(found.count(name), 0u) << name << " is written twice";
            found[name] = {g1 + "/" + g2, line.substr(1, 2)};
        }
    }
    std::size_t leftOut = 0;
    for (std::size_t i = 0; i < voices.size(); ++i) {
        const auto& voice = voices[i];
        const std::string name(quorvix::VoiceName(voice));
        const std::string expected = expectedHeading(voice.bank, voice.program);
        if (expected == "left out") {
            EXPECT_EQ(found.count(name), 0u) << name;
            ASSERT_LT(leftOut, result.leftOut.size());
            EXPECT_EQ(result.leftOut[leftOut++], static_cast<std::int32_t>(i));
            continue;
        }
        ASSERT_EQ(found.count(name), 1u) << name << " is missing";
        EXPECT_EQ(found[name].first, expected) << name;
        EXPECT_EQ(found[name].second, expected == "Other Voices/" ? "p2" : "p3") << name;
    }
    EXPECT_EQ(leftOut, result.leftOut.size());
    EXPECT_EQ(leftOut, 256u);
}

TEST(CubaseScript, DefaultFileNameKeepsLettersDigitsSpacesAndUnderscores)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Synth-X 1.2 (Bank A)", "SynthX 12 Bank A.txt"},
        {"", "Unnamed.txt"},
        {"My_Synth 2", "My_Synth 2.txt"},
        {"Caf\xE9 \xC3\xA9/..\\x:*?", "Caf x.txt"},
        {"../../etc/passwd", "etcpasswd.txt"},
        {"\t\r\n", "Unnamed.txt"},
        {"Con", "Con_.txt"},
        {"\xE3\x83\xA4\xE3\x83\x9E\xE3\x83\x8F", "Unnamed.txt"},
        {std::string(300, 'a'), std::string(251, 'a') + ".txt"},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(DefaultScriptFileName(name), expected) << name;
}
