// File names made from definition and list names: never a Windows device, never longer than a file system
// allows, never hidden, and never one name twice.

#include "base/Encoding.h"
#include "base/FileNames.h"
#include "base/UniqueNames.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace quorvix;

namespace {

const std::string kKatakana = "\xE3\x83\xA4\xE3\x83\x9E\xE3\x83\x8F"; // three characters of three bytes

} // namespace

TEST(FileNames, WindowsDeviceNamesGetASuffixInAnyCaseAndWithAnExtension)
{
    struct Case
    {
        std::string name;
        std::string written;
    };
    const std::vector<Case> cases = {
        {"CON", "CON_"},
        {"con", "con_"},
        {"aux.txt", "aux_.txt"},
        {"nul .reabank", "nul_ .reabank"},
        {"COM1", "COM1_"},
        {"lpt9", "lpt9_"},
        {"COM\xC2\xB9", "COM\xC2\xB9_"},
        {"conout$", "conout$_"},
        // Names that only begin like a device are left alone.
        {"CONSOLE", "CONSOLE"},
        {"COM10", "COM10"},
        {"COM", "COM"},
        {"CON (2)", "CON (2)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(avoidingDeviceNames(c.name), c.written) << c.name;
        EXPECT_EQ(isWindowsDeviceName(c.name), c.name != c.written) << c.name;
    }
    EXPECT_EQ(fittedFileName("CON", "", ".reabank"), "CON_.reabank");
    EXPECT_EQ(fittedFileName("CON", " (2)", ".reabank"), "CON (2).reabank");
    EXPECT_EQ(fileStemFrom("Aux", "Unnamed"), "Aux_");
}

TEST(FileNames, LongNamesAreCutBetweenCharactersToFitWithSuffixAndExtension)
{
    struct Case
    {
        std::string stem;
        std::string suffix;
        std::string extension;
    };
    std::string accents;
    for (int i = 0; i < 200; ++i)
        accents += "\xC3\xA9";
    const std::vector<Case> cases = {
        {std::string(300, 'a'), "", ".reabank"},
        {std::string(300, 'a'), " (12)", ".midnam"},
        {accents, "", ".reabank"}, // 255 - 8 is odd: the last two-byte character does not fit
        {accents, " (2)", ".txt"},
        {std::string(250, 'k') + kKatakana, "", ".txt"},
    };
    for (const Case& c : cases) {
        const std::string name = fittedFileName(c.stem, c.suffix, c.extension);
        EXPECT_LE(name.size(), kFileNameLimit) << name;
        EXPECT_GE(name.size(), kFileNameLimit - 3) << "cut no more than one character: " << name;
        EXPECT_TRUE(isValidUtf8(name)) << name;
        EXPECT_EQ(name.substr(name.size() - c.suffix.size() - c.extension.size()), c.suffix + c.extension);
    }
    EXPECT_EQ(fileStemFrom(std::string(300, 's'), "Unnamed", 251), std::string(251, 's'));
}

TEST(FileNames, NamesWithoutAsciiLettersKeepTheirCharactersAndNeverHideTheFile)
{
    struct Case
    {
        std::string name;
        std::string stem;
    };
    const std::vector<Case> cases = {
        {kKatakana, kKatakana},
        {kKatakana + " 2", kKatakana + " 2"},
        {"Fl\xC3\xBCgel", "Fl\xC3\xBCgel"},
        {"123", "123"},
        {".hidden", "hidden"},
        {"...", "Unnamed"},
        {"", "Unnamed"},
        {"   ", "Unnamed"},
        {"\xE2\x80\xAE\xE2\x80\x8B", "Unnamed"}, // a direction override and a zero-width space
        {"\xC2\x85\xEF\xBB\xBF", "Unnamed"},     // a C1 control and a byte-order mark
        {"\xFF\xFE", "Unnamed"},                 // no UTF-8
        {"a/b\\c:d*e?f\"g<h>i|j", "abcdefghij"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fileStemFrom(c.name, "Unnamed"), c.stem) << c.name;
}

TEST(FileNames, NamesGivenTwiceGetTheNextFreeNumber)
{
    const std::string longStem(300, 'x');
    struct Case
    {
        const char* what;
        std::vector<std::string> stems;
        std::vector<std::string> files;
    };
    const std::vector<Case> cases = {
        {"letter case ignored, numbers go on per name, a given \"(2)\" kept apart",
         {"Piano", "piano", "Piano", "Piano (2)"},
         {"Piano.txt", "piano (2).txt", "Piano (3).txt", "Piano (2) (2).txt"}},
        {"a name cut to fit meets another",
         {longStem, longStem},
         {std::string(251, 'x') + ".txt", std::string(247, 'x') + " (2).txt"}},
        {"a device name", {"CON", "con"}, {"CON_.txt", "con (2).txt"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(uniqueFileNames(c.stems, ".txt"), c.files) << c.what;

    UniqueNames names; // list and definition names: letter case counts
    const std::vector<std::string> made = {names.make("A"), names.make("a"), names.make("A"),
                                           names.make("A")};
    EXPECT_EQ(made, (std::vector<std::string>{"A", "a", "A (2)", "A (3)"}));
}
