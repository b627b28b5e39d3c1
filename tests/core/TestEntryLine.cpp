#include "TestSupport.h"
#include "formats/cubase/CubaseScriptWriter.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <set>

using quorvix::test::makeVoice;

using quorvix::FormatEntryLine;
using quorvix::IsScriptCharacter;

namespace {

struct EntryCase
{
    const char* what;
    const char* tag;
    std::int32_t bank;
    std::int32_t program;
    std::string name;
    std::string expected;
};

} // namespace

TEST(EntryLine, FormatsNumbersTagAndName)
{
    const std::vector<EntryCase> cases = {
        {"the documented example", "p3", 0, 0, "Grand Piano", "[p3,   0,   0,   0]\tGrand Piano"},
        {"drum bank 16256 is MSB 127 LSB 0", "p3", 16256, 0, "Kit", "[p3,   0, 127,   0]\tKit"},
        {"GM2 bank 15497 is MSB 121 LSB 9", "p3", 15497, 1, "V", "[p3,   1, 121,   9]\tV"},
        {"articulation bank 1062 is MSB 8 LSB 38", "p3", 1062, 2, "V", "[p3,   2,   8,  38]\tV"},
        {"padding of one, two and three digits", "p3", 127, 5, "V", "[p3,   5,   0, 127]\tV"},
        {"program 42", "p3", 0, 42, "V", "[p3,  42,   0,   0]\tV"},
        {"program 127 and bank 16383", "p2", 16383, 127, "V", "[p2, 127, 127, 127]\tV"},
        {"999 fills three places, 1000 takes four", "p3", 1000 * 128 + 99, 999, "V",
         "[p3, 999, 1000,  99]\tV"},
        {"tag p2 keeps the three-number form", "p2", 300, 7, "Other", "[p2,   7,   2,  44]\tOther"},
        {"an empty name ends with the tab", "p3", 0, 0, "", "[p3,   0,   0,   0]\t"},
        {"a tab inside the name is accepted", "p3", 0, 0, "A\tB", "[p3,   0,   0,   0]\tA\tB"},
        {"accepted punctuation stays", "p3", 0, 0, "!\"&'()+,-./[]{}",
         "[p3,   0,   0,   0]\t!\"&'()+,-./[]{}"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatEntryLine(makeVoice(c.bank, c.program, c.name), c.tag), c.expected) << c.what;
}

TEST(EntryLine, CutsAtFirstBraceThenAtThirtyBytesThenCleansInPlace)
{
    const std::string forty(40, 'x');
    const std::string thirty = "abcdefghijklmnopqrstuvwxyz0123";
    ASSERT_EQ(thirty.size(), 30u);
    const std::string prefix = "[p3,   0,   0,   0]\t";
    ASSERT_EQ(prefix.size(), 20u);

    const std::vector<std::pair<std::string, std::string>> cases = {
        {forty, std::string(30, 'x')},
        {thirty, thirty},
        {thirty + "9", thirty},
        {"Abc}def}ghi", "Abc}"},
        {"}rest", "}"},
        {thirty + "}after", thirty},
        {std::string(29, 'a') + "}bc", std::string(29, 'a') + "}"},
        {"Strings;Pad_1 \xE9t\xE9", "Strings Pad 1  t "},
        {"#$%*:;<=>?@\\^_`|~", std::string(17, ' ')},
        {"Ctl\x01\x1F\x7F"
         "end",
         "Ctl   end"},
        {"Caf\xC3\xA9 Bar}\xFF", "Caf   Bar}"},
        {std::string(30, 'y') + "\xE9\xE9", std::string(30, 'y')},
    };
    for (const auto& [name, cleaned] : cases) {
        const std::string line = FormatEntryLine(makeVoice(0, 0, name), "p3");
        EXPECT_EQ(line, prefix + cleaned) << "name: " << name;
        EXPECT_LE(line.size(), 50u);
    }
}

TEST(EntryLine, NameFillingTheWholeFieldIsReadOnlyWithinTheRecord)
{
    ZT_cwbankvoice voice{};
    std::memset(voice.name, 'n', sizeof voice.name); // no terminator anywhere
    voice.program = 0x41414141; // the bytes that follow the field are not part of the name
    EXPECT_EQ(quorvix::VoiceName(voice).size(), 64u);
    voice.program = 3;
    EXPECT_EQ(FormatEntryLine(voice, "p3"), "[p3,   3,   0,   0]\t" + std::string(30, 'n'));
}

TEST(EntryLine, NumbersOutsideTheMidiRangesStillFormatWithoutOverflow)
{
    // The classifier never lets these through; the formatting itself must still be defined for any record.
    constexpr auto lowest = std::numeric_limits<std::int32_t>::min();
    constexpr auto highest = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(FormatEntryLine(makeVoice(-1, -5, "N"), "p2"), "[p2,  -5,   0,  -1]\tN");
    EXPECT_EQ(FormatEntryLine(makeVoice(20000, 130, "N"), "p2"), "[p2, 130, 156,  32]\tN");
    EXPECT_EQ(FormatEntryLine(makeVoice(lowest, highest, "N"), "p2"), "[p2, 2147483647, -16777216,   0]\tN");
}

TEST(EntryLine, ScriptCharactersAreExactlyTheDocumentedSet)
{
    std::set<int> accepted = {9, 32, 33, 34, 38, 39, 40, 41, 43, 44, 45, 46, 47, 91, 93, 123, 125};
    for (int c = 48; c <= 57; ++c)
        accepted.insert(c);
    for (int c = 65; c <= 90; ++c)
        accepted.insert(c);
    for (int c = 97; c <= 122; ++c)
        accepted.insert(c);
    ASSERT_EQ(accepted.size(), 79u);
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(IsScriptCharacter(static_cast<unsigned char>(c)), accepted.count(c) == 1) << "code " << c;
}

TEST(EntryLine, NameInFieldIsWhatTheRecordReadsBack)
{
    struct Case
    {
        const char* what;
        std::string name;
        std::string expected;
    };
    const std::string utf8Cut = std::string(62, 'a') + "\xC3\xA9" + "b"; // byte 63 is inside the é
    const std::vector<Case> cases = {
        {"short", "Piano", "Piano"},
        {"exactly the field", std::string(63, 'n'), std::string(63, 'n')},
        {"longer: cut", std::string(70, 'n'), std::string(63, 'n')},
        {"valid UTF-8 is cut before a character", utf8Cut, std::string(62, 'a')},
        {"other bytes are cut where they fall", std::string(62, 'a') + "\xC3\xA9\xFF",
         std::string(62, 'a') + "\xC3"},
        {"a NUL ends it", std::string("ab\0cd", 5), "ab"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(quorvix::nameInField(c.name, 64), c.expected) << c.what;
        ZT_cwbankvoice voice{};
        quorvix::copyNameField(voice.name, sizeof voice.name, c.name);
        EXPECT_EQ(quorvix::VoiceName(voice), c.expected) << c.what << ": as copyNameField fills the field";
    }
    EXPECT_EQ(quorvix::nameInField("abc", 0), "");
}

TEST(EntryLine, AppendedEntryLineCleansTheTagAndKeepsWhatWasThere)
{
    std::string line = "before|";
    quorvix::AppendEntryLine(line, {130, 7, "Name}rest"}, "p3~long tag");
    EXPECT_EQ(line, "before|[p3 long tag,   7,   1,   2]\tName}");
}
