#include "TestSupport.h"
#include "base/PathText.h"
#include "formats/ins/InsReader.h"
#include "legacy/ZT_midifile.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using quorvix::InsFile;
using quorvix::textFromPath;
namespace test = quorvix::test;

namespace {

// "bank:program:name" of every voice, separated by "|".
std::string voiceText(InsFile& file, std::size_t definition)
{
    std::string text;
    for (const auto& voice : file.voices(definition)) {
        if (!text.empty())
            text += '|';
        text +=
            std::to_string(voice.bank) + ':' + std::to_string(voice.program) + ':' + std::string(voice.name);
    }
    return text;
}

// "line: message" of every warning, separated by "\n".
std::string warningText(const InsFile& file)
{
    std::string text;
    for (const auto& warning : file.warnings())
        text += std::to_string(warning.line) + ": " + warning.message + "\n";
    return text;
}

std::string definitionNames(const InsFile& file)
{
    std::string text;
    for (std::size_t i = 0; i < file.definitionCount(); ++i)
        text += std::string(i ? "|" : "") + std::string(file.definitionName(i));
    return text;
}

struct VoiceCase
{
    const char* what;
    std::string file;
    std::string voices;   // of the first definition
    std::string warnings; // all of them
};

// Keeps the test names readable in listings (gtest would print the parameter's bytes).
[[maybe_unused]] void PrintTo(const VoiceCase& c, std::ostream* out)
{
    *out << c.what;
}

class InsReaderVoices : public testing::TestWithParam<VoiceCase>
{};

TEST_P(InsReaderVoices, FirstDefinitionHasTheseVoicesAndWarnings)
{
    const VoiceCase& c = GetParam();
    InsFile file;
    ASSERT_TRUE(file.parse(c.file)) << file.error();
    ASSERT_GE(file.definitionCount(), 1u);
    EXPECT_EQ(voiceText(file, 0), c.voices);
    EXPECT_EQ(warningText(file), c.warnings);
}

const std::string kPatch = ".Patch Names\n";

// Voices of a built-in list at `bank`: program p is named p + first, except `program`, named `name`.
std::string builtinVoices(int bank, int first, int program = -1, const std::string& name = {})
{
    std::string text;
    for (int p = 0; p < 128; ++p)
        text += std::string(p ? "|" : "") + std::to_string(bank) + ':' + std::to_string(p) + ':' +
                (p == program ? name : std::to_string(p + first));
    return text;
}
const std::string kDefs = ".Instrument Definitions\n[I]\n";

INSTANTIATE_TEST_SUITE_P(
    Rules, InsReaderVoices,
    testing::Values(
        VoiceCase{"forward BasedOn, own entries win",
                  kPatch + "[Kit B]\nBasedOn=Kit A\n38=Snare B\n[Kit A]\n36=Kick\n38=Snare A\n40=Clap\n" +
                      kDefs + "Patch[0]=Kit B\n",
                  "0:36:Kick|0:38:Snare B|0:40:Clap", ""},
        VoiceCase{"chain of three, deepest first in the file",
                  kPatch + "[A]\n1=a1\n2=a2\n3=a3\n[B]\nBasedOn=A\n2=b2\n[C]\nBasedOn=B\n3=c3\n" + kDefs +
                      "Patch[0]=C\n",
                  "0:1:a1|0:2:b2|0:3:c3", ""},
        VoiceCase{"BasedOn cycle is reported once and broken",
                  kPatch + "[A]\nBasedOn=B\n1=a\n[B]\nBasedOn=A\n2=b\n" + kDefs + "Patch[0]=A\n",
                  "0:1:a|0:2:b",
                  "6: patch list \"B\" is based on \"A\", which leads back to it; this BasedOn is ignored\n"},
        VoiceCase{"BasedOn itself", kPatch + "[A]\nBasedOn=A\n1=a\n" + kDefs + "Patch[0]=A\n", "0:1:a",
                  "3: patch list \"A\" is based on \"A\", which leads back to it; this BasedOn is ignored\n"},
        VoiceCase{"missing base keeps own entries",
                  kPatch + "[A]\nBasedOn=Nowhere\n5=a\n" + kDefs + "Patch[3]=A\n", "3:5:a",
                  "3: patch list \"A\" is based on \"Nowhere\", which is not defined\n"},
        VoiceCase{"BasedOn of another section's list does not count",
                  ".Note Names\n[N]\n1=n\n" + kPatch + "[A]\nBasedOn=N\n2=a\n" + kDefs + "Patch[0]=A\n",
                  "0:2:a", "6: patch list \"A\" is based on \"N\", which is not defined\n"},
        VoiceCase{"BasedOn a built-in list", kPatch + "[A]\nBasedOn=1..128\n1=Two\n" + kDefs + "Patch[0]=A\n",
                  builtinVoices(0, 1, 1, "Two"), ""},
        VoiceCase{"built-in 0..127", kDefs + "Patch[5]=0..127\n", builtinVoices(5, 0), ""},
        VoiceCase{"empty placeholder list under a built-in name",
                  kPatch + "[1..128]\n" + kDefs + "Patch[0]=1..128\n", builtinVoices(0, 1), ""},
        VoiceCase{
            "duplicate numbers: the last wins, programs ascending",
            kPatch + "[A]\n9=nine\n3=three\n9=NINE\n0=zero\n" + kDefs + "Patch[1]=A\n",
            "1:0:zero|1:3:three|1:9:NINE",
            "5: number 9 of patch list \"A\" is given again (first at line 3); the later name is used\n"},
        VoiceCase{"Patch lines in file order, a repeated bank keeps its first place with the last list",
                  kPatch + "[A]\n0=a\n[B]\n0=b\n[C]\n0=c\n" + kDefs +
                      "Patch[256]=A\nPatch[1]=B\nPatch[256]=C\nPatch[0008]=A\n",
                  "256:0:c|1:0:b|8:0:a", ""},
        VoiceCase{"Patch[*] without Patch[0] gives bank 0 at its place",
                  kPatch + "[A]\n0=a\n[S]\n7=s\n" + kDefs + "Patch[5]=A\nPatch[*]=S\nPatch[6]=A\n",
                  "5:0:a|0:7:s|6:0:a", ""},
        VoiceCase{"Patch[*] with Patch[0] gives nothing",
                  kPatch + "[A]\n0=a\n[S]\n7=s\n" + kDefs + "Patch[*]=S\nPatch[0]=A\n", "0:0:a", ""},
        VoiceCase{"Patch[0] with a missing list still stops Patch[*]",
                  kPatch + "[S]\n7=s\n" + kDefs + "Patch[*]=S\nPatch[0]=Gone\n", "",
                  "7: patch list \"Gone\" of Patch[0] is not defined\n"},
        VoiceCase{"method 0 takes b as it is",
                  kPatch + "[A]\n0=a\n" + kDefs + "BankSelMethod=0\nPatch[1]=A\nPatch[15360]=A\n",
                  "1:0:a|15360:0:a", ""},
        VoiceCase{"method 1: b is the MSB, a multiple of 128 above 127 stays",
                  kPatch + "[A]\n0=a\n" + kDefs +
                      "Patch[1]=A\nPatch[127]=A\nPatch[1024]=A\nBankSelMethod=1\n",
                  "128:0:a|16256:0:a|1024:0:a", ""},
        VoiceCase{"method 1: another value above 127 is taken as it is, with a warning",
                  kPatch + "[A]\n0=a\n" + kDefs + "BankSelMethod=1\nPatch[200]=A\n", "200:0:a",
                  "7: Patch[200] under BankSelMethod=1 is no bank select MSB; taken as bank 200\n"},
        VoiceCase{"method 1: Patch[*] stops when a bank maps to 0",
                  kPatch + "[A]\n0=a\n[S]\n1=s\n" + kDefs + "BankSelMethod=1\nPatch[*]=S\nPatch[0]=A\n",
                  "0:0:a", ""},
        VoiceCase{"method 1: Patch[*] gives bank 0 when no bank maps to 0",
                  kPatch + "[A]\n0=a\n[S]\n1=s\n" + kDefs + "BankSelMethod=1\nPatch[*]=S\nPatch[1]=A\n",
                  "0:1:s|128:0:a", ""},
        VoiceCase{"method 2 takes b as the LSB",
                  kPatch + "[A]\n0=a\n" + kDefs + "BankSelMethod=2 ; CC32 only\nPatch[5]=A\nPatch[300]=A\n",
                  "5:0:a|300:0:a",
                  "8: Patch[300] under BankSelMethod=2 is no bank select LSB; taken as bank 300\n"},
        VoiceCase{"method 3 takes b as it is",
                  kPatch + "[A]\n0=a\n" + kDefs + "BankSelMethod=3\nPatch[27]=A\n", "27:0:a", ""},
        VoiceCase{"a bad BankSelMethod leaves 0",
                  kPatch + "[A]\n0=a\n" + kDefs + "BankSelMethod=7\nBankSelMethod=x\nPatch[3]=A\n", "3:0:a",
                  "6: BankSelMethod \"7\" is not 0, 1, 2 or 3; line ignored\n"
                  "7: BankSelMethod \"x\" is not 0, 1, 2 or 3; line ignored\n"},
        VoiceCase{"dangling reference: no voices for that bank",
                  kPatch + "[A]\n0=a\n" + kDefs + "Patch[0]=A\nPatch[1]=Nope\nPatch[*]=Neither\n", "0:0:a",
                  "7: patch list \"Nope\" of Patch[1] is not defined\n"
                  "8: patch list \"Neither\" of Patch[*] is not defined\n"},
        VoiceCase{
            "out-of-range and huge numbers are skipped, never wrapped",
            kPatch + "[A]\n128=x\n99999999999999999999999999999999999999=y\n-1=z\n127=ok\n" + kDefs +
                "Patch[16384]=A\nPatch[4294967296]=A\nPatch[-1]=A\nPatch[16383]=A\n",
            "16383:127:ok",
            "3: number 128 is out of range 0..127; entry ignored\n"
            "4: number 99999999999999999999999999999999999999 is out of range 0..127; entry ignored\n"
            "5: \"-1\" is not a number; line ignored\n"
            "9: bank \"16384\" of Patch[16384] is not a number from 0 to 16383; line ignored\n"
            "10: bank \"4294967296\" of Patch[4294967296] is not a number from 0 to 16383; line ignored\n"
            "11: bank \"-1\" of Patch[-1] is not a number from 0 to 16383; line ignored\n"},
        VoiceCase{"comments, blanks and the first '='",
                  "; header\n" + kPatch +
                      "  [ A ]\t\n\t0 = Piano = Grand ; a comment\n1=Rock;n;Roll\n;2=gone\n"
                      "3=  \n" +
                      kDefs + "Patch[ 0 ]=  A\t; trailing\n",
                  "0:0:Piano = Grand|0:1:Rock;n;Roll|0:3:", ""},
        VoiceCase{"an entry's number: leading zeros and blanks before '=' are fine, other text is no number",
                  kPatch + "[A]\n007=seven\n4\t =  four  \n5 6=x\n12x=y\n=z\n" + kDefs + "Patch[0]=A\n",
                  "0:4:four|0:7:seven",
                  "5: \"5 6\" is not a number; line ignored\n6: \"12x\" is not a number; line ignored\n"
                  "7: \"\" is not a number; line ignored\n"},
        VoiceCase{"a later list of the same name replaces the earlier",
                  kPatch + "[A]\n0=old\n1=old\n[A]\n1=new\n" + kDefs + "Patch[0]=A\n", "0:1:new",
                  "5: patch list \"A\" of line 2 is defined again; this one replaces it\n"},
        VoiceCase{"JJazzLab tags on references",
                  kPatch + "[GM Bank]\n0=Piano {{ tag }}\n" + kDefs + "Patch[0]=GM Bank {{ A }} {{ B }}\n",
                  "0:0:Piano {{ tag }}", ""},
        VoiceCase{"unknown keys and stray lines are warned about",
                  "stray\n" + kPatch + "0=no list\n[A]\njunk\n0=a\n.Bogus Names\n[X]\n0=x\n" + kDefs +
                      "BankSelectMethod=2\nPatch[0]=A\nKey[0,0]=NoKit\nControl=NoCtl\nDrum[*,*]=1\n"
                      "UsesNotesAsControllers=1\nNoControllerReset=1\nnonsense\n",
                  "0:0:a",
                  "1: line outside any section ignored\n"
                  "3: line outside any list ignored\n"
                  "5: line without \"=\" ignored\n"
                  "7: unknown section \".Bogus Names\"; its lines are ignored\n"
                  "12: unknown key \"BankSelectMethod\" ignored\n"
                  "14: note list \"NoKit\" is not defined\n"
                  "15: controller list \"NoCtl\" is not defined\n"
                  "19: line without \"=\" ignored\n"}),
    [](const testing::TestParamInfo<VoiceCase>& info) {
        std::string name;
        for (const char* p = info.param.what; *p; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name + "_" + std::to_string(info.index);
    });

TEST(InsReader, LineEndsAndByteOrderMarkGiveTheSameResult)
{
    const std::string lf = ".Patch Names\n[A]\n0=a\n1=b\n.Instrument Definitions\n[I]\nPatch[0]=A\nFoo=1\n";
    auto with = [&](std::string_view end) {
        std::string text;
        for (char c : lf) {
            if (c == '\n')
                text += end;
            else
                text += c;
        }
        return text;
    };
    const std::vector<std::string> variants = {
        lf, with("\r\n"), with("\r"), "\xEF\xBB\xBF" + with("\r\n"), lf.substr(0, lf.size() - 1),
        // mixed: CR LF, lone CR and LF in one file
        ".Patch Names\r\n[A]\r0=a\n1=b\r\n.Instrument Definitions\r[I]\nPatch[0]=A\r\nFoo=1"};
    for (const auto& text : variants) {
        InsFile file;
        ASSERT_TRUE(file.parse(text)) << file.error();
        EXPECT_EQ(definitionNames(file), "I");
        EXPECT_EQ(voiceText(file, 0), "0:0:a|0:1:b");
        EXPECT_EQ(warningText(file), "8: unknown key \"Foo\" ignored\n");
    }
}

TEST(InsReader, NamesAreBytesAsRead)
{
    InsFile file;
    ASSERT_TRUE(file.load(textFromPath(test::dataDir() / "ins-cp1252-crlf.ins"))) << file.error();
    EXPECT_EQ(definitionNames(file), "Fl\xfcgel \xc9"
                                     "dition");
    EXPECT_EQ(voiceText(file, 0), "0:0:Fl\xfcgel|0:1:Caf\xe9 Organ");

    ASSERT_TRUE(file.load(textFromPath(test::dataDir() / "ins-utf8-bom-cr.ins"))) << file.error();
    EXPECT_EQ(definitionNames(file), "UTF-8 \xe2\x82\xac");
    EXPECT_EQ(voiceText(file, 0), "0:0:Gr\xc3\xbc\xc3\x9f"
                                  "e");
    EXPECT_TRUE(file.warnings().empty()) << warningText(file);
}

TEST(InsReader, SeveralDefinitionsInFileOrderWithTheirOwnMethods)
{
    InsFile file;
    ASSERT_TRUE(file.load(textFromPath(test::dataDir() / "ins-synth.ins"))) << file.error();
    EXPECT_EQ(definitionNames(file), "Synth One|Synth Two");
    EXPECT_EQ(voiceText(file, 0), "256:0:Piano 1|256:1:Piano 2b|0:36:Kick A|0:38:Snare B");
    EXPECT_EQ(voiceText(file, 1), "");
    EXPECT_EQ(
        warningText(file),
        "11: number 1 of patch list \"Bank A\" is given again (first at line 9); the later name is used\n"
        "34: patch list \"Missing\" of Patch[128] is not defined\n"
        "35: unknown key \"FooBar\" ignored\n");
    EXPECT_EQ(file.voices(2).size(), 0u);
    EXPECT_TRUE(file.voices(2).empty());
    EXPECT_EQ(file.definitionName(2), "");
}

TEST(InsReader, WhatIsNoInstrumentDefinitionFileFailsWithAReason)
{
    struct Case
    {
        std::string bytes;
        std::string error;
    };
    const std::vector<Case> cases = {
        {std::string("RAD\0INST", 8), "holds a NUL byte (at byte 3), so it is no instrument definition file"},
        {"", "has none of the section lines"},
        {"\xEF\xBB\xBF", "has none of the section lines"},
        {"[Piano]\n0=Grand\n.patch names\n . Patch Names\n", "has none of the section lines"},
    };
    for (const auto& c : cases) {
        InsFile file;
        EXPECT_FALSE(file.parse(c.bytes));
        EXPECT_EQ(file.error().rfind(c.error, 0), 0u) << file.error();
        EXPECT_EQ(file.definitionCount(), 0u);
        EXPECT_TRUE(file.warnings().empty());
    }

    InsFile file;
    EXPECT_FALSE(file.load(textFromPath(test::dataDir() / "broken-ins-nul.ins")));
    EXPECT_EQ(file.error(), "holds a NUL byte (at byte 12), so it is no instrument definition file");
    EXPECT_FALSE(file.load(textFromPath(test::dataDir() / "broken-ins-nosection.ins")));
    EXPECT_EQ(file.error().rfind("has none of the section lines (.Patch Names,", 0), 0u);
    EXPECT_FALSE(file.load(textFromPath(test::dataDir() / "no-such-file.ins")));
    EXPECT_EQ(file.error(), "cannot be read: No such file or directory");
    EXPECT_FALSE(file.load(textFromPath(test::dataDir())));
    EXPECT_EQ(file.error(), "cannot be read: Is a directory");
}

TEST(InsReader, SectionsWithoutInstrumentsLoad)
{
    InsFile file;
    ASSERT_TRUE(file.load(textFromPath(test::dataDir() / "ins-no-instruments.ins"))) << file.error();
    EXPECT_EQ(file.definitionCount(), 0u);
}

TEST(InsReader, WarningsStopAtTheLimitWithACount)
{
    std::string text = ".Patch Names\n";
    const std::size_t lines = quorvix::Diagnostics::kLimit + 5;
    for (std::size_t i = 0; i < lines; ++i)
        text += "x\n";
    InsFile file;
    ASSERT_TRUE(file.parse(text));
    ASSERT_EQ(file.warnings().size(), quorvix::Diagnostics::kLimit + 1);
    EXPECT_EQ(file.warnings().back().message, "5 more warnings not shown");
}

TEST(InsReader, MergedListsAreSharedAndAChainOfThousandsDoesNotRecurse)
{
    // 20000 lists, each based on the one before; every instrument names the last one.
    std::string text = ".Patch Names\n[L0]\n0=base\n";
    const int depth = 20000;
    for (int i = 1; i <= depth; ++i)
        text += "[L" + std::to_string(i) + "]\nBasedOn=L" + std::to_string(i - 1) + "\n" +
                std::to_string(i % 128) + "=n" + std::to_string(i) + "\n";
    text += ".Instrument Definitions\n";
    for (int i = 0; i < 50; ++i)
        text += "[I" + std::to_string(i) + "]\nPatch[0]=L" + std::to_string(depth) + "\n";
    InsFile file;
    // On a small stack, as Windows gives its main thread: a reader that recursed along the chain would
    // overflow.
    bool parsed = false;
    test::onSmallStack([&] { parsed = file.parse(text); });
    ASSERT_TRUE(parsed);
    ASSERT_EQ(file.definitionCount(), 50u);
    for (std::size_t i = 0; i < 50; ++i)
        ASSERT_EQ(file.voices(i).size(), 128u);
    const auto voices = file.voices(49);
    EXPECT_EQ(voices[0].name, "n19968"); // 19968 is the last multiple of 128 in the chain
    EXPECT_EQ(voices[32].name, "n20000");
}

TEST(InsReader, NameFieldsAreCutToFitWithoutSplittingUtf8)
{
    struct Case
    {
        std::string name;
        std::size_t field;
        std::string expected;
    };
    const std::string ascii70(70, 'a');
    const std::string euro = "\xe2\x82\xac";
    std::string euros;
    for (int i = 0; i < 30; ++i)
        euros += euro; // 90 bytes
    const std::vector<Case> cases = {
        {"Piano", 64, "Piano"},
        {ascii70, 64, std::string(63, 'a')},
        {ascii70, 80, ascii70},
        {std::string(79, 'b') + "c", 80, std::string(79, 'b')},
        {euros, 64, euros.substr(0, 63)},             // 21 characters, 63 bytes
        {"a" + euros, 64, "a" + euros.substr(0, 60)}, // not inside the 21st euro sign
        {"a" + euros.substr(0, 3) + "\xff" + euros, 64,
         ("a" + euro + "\xff" + euros).substr(0, 63)}, // not UTF-8
        {"", 64, ""},
    };
    for (const auto& c : cases) {
        std::vector<char> field(c.field, 'X');
        quorvix::copyNameField(field.data(), field.size(), c.name);
        EXPECT_EQ(std::string(field.data()), c.expected);
        EXPECT_EQ(field.back(), '\0');
    }
}

// ---------------------------------------------------------------------------------------------------------
// The seven ZT_ functions

struct Handle
{
    MIDIFile* file = ZT_Init();
    ~Handle() { ZT_Free(file); }
};

TEST(ZtMidifile, LoadGetDefsSetDefAndVoiceList)
{
    Handle h;
    ASSERT_NE(h.file, nullptr);
    const std::string path = (test::dataDir() / "ins-synth.ins").string();
    ASSERT_EQ(ZT_CWInsLoad(h.file, path.c_str()), 0u);

    ZT_cwdef* defs = reinterpret_cast<ZT_cwdef*>(&h); // not null, so that the call must set it
    int count = -1;
    ASSERT_EQ(ZT_CWInsGetDefs(h.file, &defs, &count), 0u);
    ASSERT_NE(defs, nullptr);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(defs[0].name, "Synth One");
    EXPECT_STREQ(defs[1].name, "Synth Two");
    ZT_Delete(defs);

    ZT_cwbankvoice* voices = nullptr;
    long voiceCount = 0;
    char text[] = "";
    EXPECT_NE(ZT_CWInsGetBankVoiceList(h.file, text, &voices, &voiceCount), 0u) << "no definition chosen yet";
    EXPECT_EQ(voices, nullptr);

    EXPECT_NE(ZT_CWInsSetDef(h.file, -1), 0u);
    EXPECT_NE(ZT_CWInsSetDef(h.file, 2), 0u);
    EXPECT_NE(ZT_CWInsGetBankVoiceList(h.file, text, &voices, &voiceCount), 0u)
        << "a refused choice chooses nothing";

    ASSERT_EQ(ZT_CWInsSetDef(h.file, 0), 0u);
    ASSERT_EQ(ZT_CWInsGetBankVoiceList(h.file, text, &voices, &voiceCount), 0u);
    ASSERT_EQ(voiceCount, 4);
    const ZT_cwbankvoice expected[] = {
        {{}, 256, "Piano 1", 0}, {{}, 256, "Piano 2b", 1}, {{}, 0, "Kick A", 36}, {{}, 0, "Snare B", 38}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(voices[i].bank, expected[i].bank);
        EXPECT_EQ(voices[i].program, expected[i].program);
        EXPECT_STREQ(voices[i].name, expected[i].name);
        EXPECT_EQ(std::memcmp(voices[i].reserved, expected[i].reserved, sizeof voices[i].reserved), 0);
    }
    ZT_Delete(voices);

    // An empty voice list is a success with an array of its own.
    ASSERT_EQ(ZT_CWInsSetDef(h.file, 1), 0u);
    voices = nullptr;
    ASSERT_EQ(ZT_CWInsGetBankVoiceList(h.file, text, &voices, &voiceCount), 0u);
    EXPECT_EQ(voiceCount, 0);
    EXPECT_NE(voices, nullptr);
    ZT_Delete(voices);
}

TEST(ZtMidifile, GetDefsSetsThePointerOnEveryReturn)
{
    const std::string none = (test::dataDir() / "ins-no-instruments.ins").string();
    const std::string broken = (test::dataDir() / "broken-ins-nul.ins").string();
    int sentinel = 0;
    auto poisoned = [&] { return reinterpret_cast<ZT_cwdef*>(&sentinel); };

    {
        ZT_cwdef* defs = poisoned();
        int count = 7;
        EXPECT_NE(ZT_CWInsGetDefs(nullptr, &defs, &count), 0u);
        EXPECT_EQ(defs, nullptr);
        EXPECT_EQ(count, 0);
    }
    {
        Handle h; // nothing loaded
        ZT_cwdef* defs = poisoned();
        int count = 7;
        EXPECT_NE(ZT_CWInsGetDefs(h.file, &defs, &count), 0u);
        EXPECT_EQ(defs, nullptr);
        EXPECT_NE(ZT_CWInsGetDefs(h.file, &defs, nullptr), 0u);
    }
    {
        Handle h;
        ASSERT_EQ(ZT_CWInsLoad(h.file, none.c_str()), 0u) << "sections without instruments load";
        ZT_cwdef* defs = poisoned();
        int count = 7;
        EXPECT_NE(ZT_CWInsGetDefs(h.file, &defs, &count), 0u);
        EXPECT_EQ(defs, nullptr);
        EXPECT_EQ(count, 0);
        ZT_Delete(defs);
    }
    {
        Handle h;
        const std::string good = (test::dataDir() / "ins-synth.ins").string();
        ASSERT_EQ(ZT_CWInsLoad(h.file, good.c_str()), 0u);
        ASSERT_EQ(ZT_CWInsSetDef(h.file, 0), 0u);
        EXPECT_NE(ZT_CWInsLoad(h.file, broken.c_str()), 0u);
        ZT_cwdef* defs = poisoned();
        int count = 7;
        EXPECT_NE(ZT_CWInsGetDefs(h.file, &defs, &count), 0u) << "a failed load leaves the handle empty";
        EXPECT_EQ(defs, nullptr);
        EXPECT_NE(ZT_CWInsSetDef(h.file, 0), 0u);
        EXPECT_EQ(quorvix::insFileOf(h.file)->error(),
                  "holds a NUL byte (at byte 12), so it is no instrument definition file");
        EXPECT_NE(ZT_CWInsLoad(h.file, nullptr), 0u);
    }
    EXPECT_NE(ZT_CWInsLoad(nullptr, none.c_str()), 0u);
    EXPECT_NE(ZT_CWInsSetDef(nullptr, 0), 0u);
    ZT_cwbankvoice* voices = nullptr;
    long count = 0;
    EXPECT_NE(ZT_CWInsGetBankVoiceList(nullptr, nullptr, &voices, &count), 0u);
    EXPECT_EQ(ZT_Free(nullptr), 0u);
    ZT_Delete(nullptr);
}

TEST(ZtMidifile, DefinitionNamesAreCutTo79Bytes)
{
    test::TempDir dir;
    const std::string longName(100, 'N');
    test::writeFile(dir / "long.ins", ".Instrument Definitions\n[" + longName + "]\nPatch[0]=0..127\n");
    Handle h;
    ASSERT_EQ(ZT_CWInsLoad(h.file, (dir / "long.ins").string().c_str()), 0u);
    ZT_cwdef* defs = nullptr;
    int count = 0;
    ASSERT_EQ(ZT_CWInsGetDefs(h.file, &defs, &count), 0u);
    EXPECT_EQ(std::string(defs[0].name), longName.substr(0, 79));
    ZT_Delete(defs);
}

} // namespace
