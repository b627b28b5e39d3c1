#include "TestSupport.h"
#include "formats/cubase/CakewalkDefinitionWriter.h"

#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <limits>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

using namespace quorvix;
using namespace std::string_literals;
using Status = DefinitionConversion::Status;

namespace {

const TimeStamp kStamp{"12/31/99", "23:59:58"};
const std::string kRule = "; -------------------------------------------";

DefinitionConversion convert(const std::string& script, std::string_view name = "Synth")
{
    return ConvertToCakewalkDefinition(script, name, kStamp);
}

std::vector<std::string> linesOf(const DefinitionConversion& conversion)
{
    return {conversion.lines.begin(), conversion.lines.end()};
}

// The header and the fixed lines around the banks, for the instrument name Synth.
std::vector<std::string> fixedHead()
{
    return {kRule,
            "; Header",
            kRule,
            "; Cakewalk Instrument Definition File",
            "; Instrument: Synth",
            "; Generated with Quorvix 12/31/99 23:59:58",
            std::string("; ") + kDefinitionCredit,
            kRule,
            "",
            "",
            ".Patch Names",
            "",
            "; ------- Voices -------",
            ""};
}

// The bank sections (between the voices heading and the closing rule) and the bank lines of the
// instrument, after checking every fixed line around them.
struct Banks
{
    std::vector<std::string> sections;
    std::vector<std::string> lines;
};

Banks banksOf(const DefinitionConversion& conversion)
{
    EXPECT_EQ(conversion.status, Status::Ok) << conversion.detail;
    const std::vector<std::string> all = linesOf(conversion);
    const auto head = fixedHead();
    const auto definitions = std::find(all.begin(), all.end(), ".Instrument Definitions");
    if (all.size() < 20 || definitions == all.end() || definitions - all.begin() < 17) {
        ADD_FAILURE() << "the definition's frame is missing";
        return {};
    }
    EXPECT_TRUE(std::equal(head.begin(), head.end(), all.begin()));
    EXPECT_EQ(std::vector<std::string>(definitions - 3, definitions + 3),
              (std::vector<std::string>{" ", kRule, " ", ".Instrument Definitions", " ", "[ Synth]"}));
    return {std::vector<std::string>(all.begin() + 14, definitions - 3),
            std::vector<std::string>(definitions + 3, all.end())};
}

std::string repeated(std::size_t count, char c)
{
    return std::string(count, c);
}

} // namespace

TEST(CakewalkDefinition, SynthExampleByteForByte)
{
    const auto conversion =
        convert("[p3,   0,   1,   2] Alpha\n[p2,   3, 130]\tBeta\n[p3,   0,   0,   0] Gamma\n");
    ASSERT_EQ(conversion.status, Status::Ok);
    std::vector<std::string> expected = fixedHead();
    for (const char* line :
         {" ", "[Bank0]", "0=Gamma", " ", "[Bank130]", "0=Alpha", "3=Beta", " ", kRule.c_str(), " ",
          ".Instrument Definitions", " ", "[ Synth]", "Patch[0]=Bank0", "Patch[130]=Bank130"})
        expected.emplace_back(line);
    EXPECT_EQ(linesOf(conversion), expected);
    EXPECT_TRUE(conversion.detail.empty());
}

TEST(CakewalkDefinition, TextWithoutEntryLinesIsNoScript)
{
    const std::string noEntry = "holds no entry line (\"[p2, program, msb, lsb] name\")";
    const struct
    {
        std::string script;
        std::string detail;
        std::string warnings;
    } cases[] = {
        {"", noEntry, ""},
        {"\n\n", noEntry, ""},
        {"[cubase parse file]\r\n[mode] M\r\n[g1] G\r\n[end]", noEntry, ""},
        {"[cubase parse file]\r[p2, 0, 0, 0] A\r[end]\r",
         noEntry + "; its lines end in a lone CR, which Cubase scripts do not use", ""},
        {"\t[p2, 1, 0, 0] indented with a tab\n[P2, 1, 0, 0] capital\n[p\n[px]\n", noEntry,
         "1: entry line indented with a tab left out: only an entry line indented with spaces (or not at "
         "all) "
         "is read\n"},
    };
    for (const auto& c : cases) {
        const auto conversion = convert(c.script);
        EXPECT_EQ(conversion.status, Status::NoEntries) << c.script;
        EXPECT_EQ(conversion.detail, c.detail);
        EXPECT_EQ(conversion.lines.GetSize(), 0);
        std::string warnings;
        for (const auto& warning : conversion.warnings.list())
            warnings += std::to_string(warning.at.line) + ": " + warning.message + "\n";
        EXPECT_EQ(warnings, c.warnings);
    }
    // The name is used as typed, a single space included.
    const auto spaced = convert("[p2, 0, 0, 0] A\n", " ");
    ASSERT_EQ(spaced.lines.GetSize(), 24);
    EXPECT_EQ(spaced.lines[4], "; Instrument:  ");
    EXPECT_EQ(spaced.lines[22], "[  ]");
}

TEST(CakewalkDefinition, EntryLinesAreReadAsTheLineRulesSay)
{
    struct Case
    {
        const char* what;
        std::string script;
        std::vector<std::string> sections;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"leading spaces are dropped; tabs, capitals and other tags are not entries",
         "   [p2, 1, 0, 0] Spaced\n\t[p2, 2, 0, 0] Tab\n[P2, 3, 0, 0] Capital\n[parser version 0001]\n[p\n"
         "[px, 4, 0, 0] NoDigit\n[g1] Group\n[mode] M\n[device name] [p2, 5, 0, 0]\n[end]\n",
         {" ", "[Bank0]", "1=Spaced"},
         {"Patch[0]=Bank0"}},
        {"any digit after p; no spaces at all; a tab before the name",
         "[p9,0,0,122]S.Art! ConcertGrand\n[p1, 1, 0, 122]\tTabbed\n",
         {" ", "[Bank122]", "0=S.Art! ConcertGrand", "1=Tabbed"},
         {"Patch[122]=Bank122"}},
        {"MSB 1 LSB 2 and a written 130 share a bank; 0130 opens its own, after 130 when read later",
         "[p3, 0, 1, 2] Alpha\n[p2, 3, 130] Beta\n[p2, 4, 0130] Zero\n[p2, 5, 129] Before\n",
         {" ", "[Bank129]", "5=Before", " ", "[Bank130]", "0=Alpha", "3=Beta", " ", "[Bank0130]", "4=Zero"},
         {"Patch[129]=Bank129", "Patch[130]=Bank130", "Patch[0130]=Bank0130"}},
        {"0130 read first sorts first among the equal banks",
         "[p2, 4, 0130] Zero\n[p2, 3, 130] Beta\n",
         {" ", "[Bank0130]", "4=Zero", " ", "[Bank130]", "3=Beta"},
         {"Patch[0130]=Bank0130", "Patch[130]=Bank130"}},
        {"a single number is program and bank",
         "[p2 7] Seven\n[p2, 9] Nine\n",
         {" ", "[Bank7]", "7=Seven", " ", "[Bank9]", "9=Nine"},
         {"Patch[7]=Bank7", "Patch[9]=Bank9"}},
        {"program texts are written as read and sorted by value",
         "[p2, 007, 0, 0] Seven\n[p2, 3, 0, 0] Three\n[p2, , 0, 0] NoProgram\n",
         {" ", "[Bank0]", "=NoProgram", "3=Three", "007=Seven"},
         {"Patch[0]=Bank0"}},
        {"equal lines are written once only when they follow each other",
         "[p2, 1, 0, 0] A\n[p2, 1, 0, 0] A\n[p2, 2, 0, 0] A\n[p2, 2, 0, 0] B\n[p2, 2, 0, 0] A\n"
         "[p2, 5, 0, 1] X\n[p2, 1, 0, 1] Y\n[p2, 5, 0, 1] X\n[p2, 1, 0, 2] A\n",
         {" ", "[Bank0]", "1=A", "2=A", "2=B", "2=A", " ", "[Bank1]", "1=Y", "5=X", " ", "[Bank2]", "1=A"},
         {"Patch[0]=Bank0", "Patch[1]=Bank1", "Patch[2]=Bank2"}},
        {"the name is the rest of the line, brackets, commas, = and trailing blanks included; a NUL ends it",
         "[p2, 1, 0, 0]   Name ] with, = signs \t\n[p2, 2, 0, 0]\n[p2, 3, 0, 0] \xE9t\xE9\x00x\n"s,
         {" ", "[Bank0]", "1=Name ] with, = signs \t", "2=", "3=\xE9t\xE9"},
         {"Patch[0]=Bank0"}},
        {"numbers have no range limit; -1 as LSB reads as an empty LSB",
         "[p3, 300, 200, 5] Big\n[p2, 0, 3, -1] Minus\n",
         {" ", "[Bank384]", "0=Minus", " ", "[Bank25605]", "300=Big"},
         {"Patch[384]=Bank384", "Patch[25605]=Bank25605"}},
        {"entries without a closing bracket after their numbers get an empty name",
         "[p2, 1, 0, 0 Unclosed\n[p2, 5] A, B\n[p2\n",
         {" ", "[Bank0]", "1=", " ", "[Bank]", "=", "5="},
         {"Patch[0]=Bank0", "Patch[]=Bank"}},
        {"digit runs beyond 32 bits sort as the largest value",
         "[p2, 1, 99999999999] Huge\n[p2, 1, 5] Small\n[p2, 99999999999, 5] HugeProgram\n[p2, 2147483647, 5] "
         "Max\n"
         "[p3, 0, 99999999999, 0] HugeMsb\n[p2, 0, 2147483647] MaxBank\n",
         {" ", "[Bank5]", "1=Small", "99999999999=HugeProgram", "2147483647=Max", " ", "[Bank99999999999]",
          "1=Huge", " ", "[Bank274877906816]", "0=HugeMsb", " ", "[Bank2147483647]", "0=MaxBank"},
         {"Patch[5]=Bank5", "Patch[99999999999]=Bank99999999999", "Patch[274877906816]=Bank274877906816",
          "Patch[2147483647]=Bank2147483647"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Banks banks = banksOf(convert(c.script));
        EXPECT_EQ(banks.sections, c.sections);
        EXPECT_EQ(banks.lines, c.lines);
    }
}

TEST(CakewalkDefinition, LinesEndAtLineFeedOrCarriageReturnLineFeedOnly)
{
    struct Case
    {
        const char* what;
        std::string script;
        std::vector<std::string> sections;
    };
    const std::vector<Case> cases = {
        {"one CR before LF is dropped, a second stays, a CR at the very end stays",
         "[p2, 1, 0, 0] A\r\n[p2, 2, 0, 0] B\r\r\n[p2, 3, 0, 0] C\r",
         {" ", "[Bank0]", "1=A", "2=B\r", "3=C\r"}},
        {"mixed line ends and no final line end",
         "[p2, 1, 0, 0] A\r\n[p2, 2, 0, 0] B\n[p2, 3, 0, 0] C",
         {" ", "[Bank0]", "1=A", "2=B", "3=C"}},
        {"a lone CR does not end a line; inside a name it is written as a blank",
         "[p2, 1, 0, 0] A\r[p2, 2, 0, 0] B\r\n",
         {" ", "[Bank0]", "1=A [p2, 2, 0, 0] B"}},
        {"blank lines of every kind are skipped", "\n\r\n\n[p2, 1, 0, 0] A\n\r\n", {" ", "[Bank0]", "1=A"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(banksOf(convert(c.script)).sections, c.sections);
    }
}

TEST(CakewalkDefinition, LinesLongerThan256CharactersRejectTheScript)
{
    const std::string entry = "[p2, 1, 0, 0] ";
    const std::string fits = entry + repeated(256 - entry.size(), 'n');
    ASSERT_EQ(fits.size(), 256u);
    for (const std::string& script : {fits + "\r\n", fits + "\n", fits}) {
        const Banks banks = banksOf(convert(script));
        EXPECT_EQ(banks.sections,
                  (std::vector<std::string>{" ", "[Bank0]", "1=" + fits.substr(entry.size())}));
    }

    std::string many;
    for (int i = 0; i < 5000; ++i)
        many += "[p2, " + std::to_string(i % 128) + ", 0, " + std::to_string(i % 7) + "] Voice\r\n";
    struct Case
    {
        const char* what;
        std::string script;
        std::uint64_t line;
    };
    const std::vector<Case> cases = {
        {"257 characters", fits + "x\n", 1},
        {"256 characters and a lone CR at the end", fits + "\r", 1},
        {"256 characters, CR, CR, LF", fits + "\r\r\n", 1},
        {"a long line after many entries", many + fits + "x\r\n" + many, 5001},
        {"a file of lone CRs", "[p2, 1, 0, 0] A\r" + repeated(300, '\r'), 1},
        {"a single line of 3 MB", "\n" + repeated(3 << 20, 'x') + "\n", 2},
        {"a long line that is not an entry", "[comment] " + repeated(300, 'c') + "\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto conversion = convert(c.script);
        EXPECT_EQ(conversion.status, Status::LineTooLong);
        EXPECT_EQ(conversion.lineNumber, c.line);
        EXPECT_EQ(conversion.detail, "line " + std::to_string(c.line) + " is longer than 256 characters");
        EXPECT_EQ(conversion.lines.GetSize(), 0);
    }
}

TEST(CakewalkDefinition, LinesAcrossReadBlocksAreReadWhole)
{
    // Entries of 33 bytes put the block boundaries inside lines; the program numbers tell every entry apart.
    std::string script;
    constexpr int kEntries = 100000;
    for (int i = 0; i < kEntries; ++i) {
        char line[40];
        std::snprintf(line, sizeof line, "[p2, %06d, 0, 0] Name%08d\r\n", i, i);
        script += line;
    }
    ASSERT_EQ(script.size(), 33u * kEntries);
    const Banks banks = banksOf(convert(script));
    ASSERT_EQ(banks.sections.size(), 2u + kEntries);
    for (int i = 0; i < kEntries; ++i) {
        char line[40];
        std::snprintf(line, sizeof line, "%06d=Name%08d", i, i);
        ASSERT_EQ(banks.sections[2 + static_cast<std::size_t>(i)], line);
    }
}

TEST(CakewalkDefinition, AtMostOneThousandDistinctBanks)
{
    std::string thousand;
    for (int bank = 999; bank >= 0; --bank)
        thousand += "[p2, 1, " + std::to_string(bank) + "] B" + std::to_string(bank) + "\n";
    const std::string more = "[p2, 2, 0] again\n[p2, 3, 0, 5] again\n";

    const Banks banks = banksOf(convert(thousand + more));
    ASSERT_EQ(banks.lines.size(), 1000u);
    EXPECT_EQ(banks.lines.front(), "Patch[0]=Bank0");
    EXPECT_EQ(banks.lines.back(), "Patch[999]=Bank999");
    EXPECT_EQ(std::vector<std::string>(banks.sections.begin(), banks.sections.begin() + 5),
              (std::vector<std::string>{" ", "[Bank0]", "1=B0", "2=again", " "}));

    // The reading stops at the new bank: the long line after it is never reached.
    const auto conversion = convert(thousand + more + "[p2, 1, 8, 0] New\n" + repeated(300, 'x') + "\n");
    EXPECT_EQ(conversion.status, Status::TooManyBanks);
    EXPECT_EQ(conversion.lineNumber, 1003u);
    EXPECT_EQ(conversion.detail,
              "line 1003: bank \"1024\" would be distinct bank number 1001; at most 1000 are allowed");
    EXPECT_EQ(conversion.lines.GetSize(), 0);
}

TEST(CakewalkDefinition, ALongLineAfterEntriesFailsTheRun)
{
    const auto tooLong = convert("[p2, 1, 0, 0] A\n" + repeated(257, 'x'));
    EXPECT_EQ(tooLong.status, Status::LineTooLong);
    EXPECT_EQ(tooLong.detail, "line 2 is longer than 256 characters");
    EXPECT_EQ(tooLong.lines.GetSize(), 0);
}

TEST(CakewalkDefinition, BankNumberHelpers)
{
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    const std::vector<std::pair<std::string, std::int32_t>> values = {
        {"", 0}, {"0", 0}, {"007", 7}, {"2147483647", kMax}, {"2147483648", kMax}, {repeated(40, '9'), kMax}};
    for (const auto& [text, value] : values)
        EXPECT_EQ(DecimalValue(text), value) << text;

    // Three numbers: the bank text is MSB * 128 + LSB, made without overflow.
    const std::vector<std::tuple<std::string, std::string, std::string>> combined = {
        {"1", "2", "130"},
        {"200", "5", "25605"},
        {"0001", "0002", "130"},
        {"16777215", "127", "2147483647"},
        {"16777216", "0", "2147483648"},
        {repeated(30, '9'), repeated(30, '9'), "277025390463"}};
    for (const auto& [msb, lsb, bank] : combined)
        EXPECT_EQ(banksOf(convert("[p3, 0, " + msb + ", " + lsb + "] X\n")).lines,
                  std::vector<std::string>{"Patch[" + bank + "]=Bank" + bank})
            << msb << " " << lsb;

    const std::vector<std::tuple<std::string, std::string, std::string>> split = {
        {"130", "1", "2"},
        {"0130", "1", "2"},
        {"", "0", "0"},
        {"127", "0", "127"},
        {"99999999999", "16777215", "127"}};
    for (const auto& [bank, msb, lsb] : split) {
        std::string msbText = "old", lsbText = "old";
        SplitBank(bank, msbText, lsbText);
        EXPECT_EQ(msbText, msb) << bank;
        EXPECT_EQ(lsbText, lsb) << bank;
    }
}

TEST(CakewalkDefinition, DefaultFileNameReplacesOnlyTheFileNamesExtension)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"~/.local/Synth.txt", "~/.local/Synth.ins"},
        {"/a/My.Files/Synth", "/a/My.Files/Synth.ins"},
        {"D:\\Scripts\\Synth.txt", "D:\\Scripts\\Synth.ins"},
        {"D:\\My.Files\\Synth.txt", "D:\\My.Files\\Synth.ins"},
        {"WSA1.TXT", "WSA1.ins"},
        {"Synth.v2.txt", "Synth.v2.ins"},
        {"Synth", "Synth.ins"},
        {"/x/.hidden", "/x/.hidden.ins"},
        {"Synth.", "Synth.ins"},
        {"/x/CON.txt", "/x/CON_.ins"},
        {"/x/" + std::string(253, 'a') + ".x", "/x/" + std::string(251, 'a') + ".ins"},
    };
    for (const auto& [script, ins] : cases)
        EXPECT_EQ(DefaultDefinitionFileName(script), ins) << script;
}

TEST(CakewalkDefinition, DeviceNameComesFromTheHeader)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"[cubase parse file]\r\n[device name]\tYamaha Tyros5\t\r\n[define patchnames]\r\n", "Yamaha Tyros5"},
        {"  [device name]  Two  Words  \n[device name] Second\n", "Two  Words"},
        {"[device name]Yamaha MODX", "Yamaha MODX"},
        {"[device name]\n[device name] Later\n", ""},
        {"[define patchnames]\n[device name] Late\n", ""},
        {"[p2, 0, 0, 0] A\n[device name] Late\n", ""},
        {repeated(300, 'x') + "\n[device name] Late\n", ""},
        {"[cubase parse file]\n", ""},
        {"", ""},
    };
    for (const auto& [script, name] : cases) {
        EXPECT_EQ(ScriptDeviceName(script), name) << script.substr(0, 40);
    }
}
