// Squarp Hapax definitions read into the model: what each section becomes, every line the device refuses
// named with its line, detection among the other text formats, and every real file's PC entries carried
// into an .ins file at their bank and program.

#include "TestSupport.h"
#include "formats/Formats.h"
#include "formats/hapax/HapaxReader.h"
#include "formats/ins/InsWriter.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace quorvix {
namespace {

std::string warningsOf(const ReadResult& read)
{
    std::string text;
    for (const Diagnostic& d : read.warnings.list())
        text += std::to_string(d.at.line) + ": " + d.message + "\n";
    return text;
}

/// "MSB:LSB PROGRAM=NAME" for every voice, in bank order.
std::vector<std::string> voicesOf(const InstrumentSet& set, const Instrument& instrument)
{
    std::vector<std::string> voices;
    const auto byte = [](std::int16_t b) { return b < 0 ? std::string("NULL") : std::to_string(b); };
    for (const Bank& bank : instrument.banks)
        for (const Patch& patch : set.patchListOf(bank)->patches)
            voices.push_back(byte(bank.select.msb) + ":" + byte(bank.select.lsb) + " " +
                             std::to_string(patch.program) + "=" + std::string(set.text(patch.name)));
    return voices;
}

std::vector<std::string> namesOf(const InstrumentSet& set, std::int32_t list, bool notes)
{
    std::vector<std::string> names;
    if (list < 0)
        return names;
    const auto& entries = notes ? set.noteLists[static_cast<std::size_t>(list)].notes
                                : set.controlLists[static_cast<std::size_t>(list)].controls;
    for (const NameEntry& entry : entries)
        names.push_back(std::to_string(entry.number) + "=" + std::string(set.text(entry.name)));
    return names;
}

TEST(HapaxReader, ReadsEverySectionAsTheModelHoldsIt)
{
    const ReadResult read = readHapax(test::readFile(test::dataDir() / "hapax-drums.txt"), "stem");
    ASSERT_TRUE(read.ok());
    const InstrumentSet& set = read.set;
    ASSERT_EQ(set.instruments.size(), 1u);
    const Instrument& drums = set.instruments[0];
    EXPECT_EQ(set.text(drums.name), "Beat Box 2");
    EXPECT_EQ(voicesOf(set, drums), (std::vector<std::string>{"NULL:NULL 0=Init", "0:NULL 0=Factory 1",
                                                              "0:NULL 1=Factory 2", "1:5 0=User 1"}));
    EXPECT_EQ(namesOf(set, drums.noteList, true),
              (std::vector<std::string>{"36=Kick", "38=Snare", "42=Closed Hat"}))
        << "a DRUM definition's lanes are the names of all its voices";
    EXPECT_EQ(namesOf(set, drums.controllers, false), (std::vector<std::string>{"7=Volume", "74=Cutoff"}));
    EXPECT_EQ(namesOf(set, drums.nrpns, false),
              (std::vector<std::string>{"130=Pitch", "1026=Decay", "2000=Tune"}));
    EXPECT_EQ(warningsOf(read),
              "0: not carried, as the other formats have no place for them: OUTPORT A, OUTCHAN "
              "10, the trigger or channel of 2 drum lanes, 1 default value, the 14-bit depth "
              "of 1 NRPN, 1 [ASSIGN] line, the [COMMENT] text\n");

    const struct
    {
        const char* what;
        std::string text;
        std::vector<std::string> notes;    ///< of the instrument
        std::vector<std::string> controls; ///< its controller list
        ControlKind kind;
        std::string warning;
    } cases[] = {
        {"lanes of a POLY track are no patch's",
         "TYPE POLY\n[DRUMLANES]\n1:NULL:NULL:36 Kick\n[/DRUMLANES]\n",
         {},
         {},
         ControlKind::Controller,
         "3: TYPE POLY: the Hapax ignores drum lanes on such a track; they are kept as a note list that no "
         "patch "
         "uses\n"},
        {"pairs n and n + 32 alone are 14-bit controllers",
         "VERSION 1\n[CC_PAIR]\n1:33 Mod\n7:39:DEFAULT=8000 Level\n[/CC_PAIR]\n",
         {},
         {"1=Mod", "7=Level"},
         ControlKind::Controller14,
         "0: not carried, as the other formats have no place for them: 1 default value\n"},
        {"other pairs are their MSB controller, unless [CC] names it",
         "VERSION 1\n[CC]\n102 Speed\n[/CC]\n[CC_PAIR]\n102:60 Speed Fine\n103:61 Depth\n[/CC_PAIR]\n",
         {},
         {"102=Speed", "103=Depth"},
         ControlKind::Controller,
         "6: the pair 102:60 is left out: its MSB controller is named on line 3, and the other formats hold "
         "14-bit "
         "pairs only as n and n + 32, in a list without 7-bit controllers\n7: the pair 103:61 is kept as "
         "controller 103 (its MSB): the other formats hold 14-bit pairs only as n and n + 32, in a list "
         "without "
         "7-bit controllers\n"},
        {"a PC given twice keeps the later name; a note twice the first",
         "TYPE DRUM\n[DRUMLANES]\n1:NULL:1:50 Low\n2:NULL:2:50 High\n[/DRUMLANES]\n[PC]\n1 A\n1 B\n[/PC]\n",
         {"50=Low"},
         {},
         ControlKind::Controller,
         "4: note 50 has a lane on line 3 already: a note list names a note once; the first name is kept\n8: "
         "PC 1 "
         "of MSB NULL LSB NULL is given again (first on line 7); the later name is kept\n0: not carried, as "
         "the "
         "other formats have no place for them: the trigger or channel of 2 drum lanes\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ReadResult one = readHapax(c.text, "File Stem");
        ASSERT_TRUE(one.ok());
        const Instrument& instrument = one.set.instruments.at(0);
        EXPECT_EQ(one.set.text(instrument.name), "File Stem");
        EXPECT_EQ(namesOf(one.set, instrument.noteList, true), c.notes);
        EXPECT_EQ(namesOf(one.set, instrument.controllers, false), c.controls);
        if (instrument.controllers >= 0) {
            EXPECT_EQ(one.set.controlLists[static_cast<std::size_t>(instrument.controllers)].kind, c.kind);
        }
        EXPECT_EQ(warningsOf(one), c.warning);
    }
}

TEST(HapaxReader, NamesEveryLineTheHapaxRefusesAndReadsThoseWhoseMeaningIsPlain)
{
    const ReadResult read =
        readHapax(test::readFile(test::dataDir() / "broken-hapax-refused-lines.txt"), "x");
    ASSERT_TRUE(read.ok());
    const std::string refuses = ": the Hapax refuses the file at this line; ";
    EXPECT_EQ(
        warningsOf(read),
        "2: TRACKNAME \"Caf&eacute; Synth\" holds \"&\", which the Hapax does not take in a name" + refuses +
            "read all the same\n"
            "3: TYPE \"POLYAT\" is none of POLY, DRUM, MPE or NULL" +
            refuses +
            "skipped\n"
            "4: \"OUTAN\" is no directive of a definition (VERSION, TRACKNAME, TYPE, OUTPORT, OUTCHAN, "
            "INPORT, INCHAN, MAXRATE) and stands outside every section" +
            refuses +
            "skipped\n"
            "6: PC \"0\" is not a number from 1 to 128" +
            refuses +
            "skipped\n"
            "7: PC 129 is outside 1 to 128" +
            refuses +
            "read all the same\n"
            "8: the MSB and LSB of a [PC] line are numbers from 0 to 127 or NULL" +
            refuses +
            "skipped\n"
            "9: a [PC] line needs a name" +
            refuses +
            "skipped\n"
            "10: a [PC] line \"R&B Piano\" holds \"&\", which the Hapax does not take in a name" +
            refuses +
            "read all the same\n"
            "12: [FOO] is no section of a definition" +
            refuses +
            "skipped\n"
            "16: a [CC] line is \"CC NAME\" or \"CC:DEFAULT=x NAME\" with CC from 0 to 127" +
            refuses +
            "skipped\n"
            "17: the default value \"200\" is not a number from 0 to 127" +
            refuses +
            "read all the same\n"
            "20: the row \"17\" is not a number from 1 to 16" +
            refuses +
            "read all the same\n"
            "21: the lane plays no note (NOTENUMBER NULL): it names no note; skipped\n"
            "24: a [NRPN] line is \"MSB:LSB:DEPTH NAME\" with MSB and LSB from 0 to 127 (an LSB up to 16383 "
            "after an MSB of 0)" +
            refuses +
            "skipped\n"
            "25: the depth \"9\" is neither 7 nor 14" +
            refuses +
            "read all the same\n"
            "0: not carried, as the other formats have no place for them: 1 default value\n");
    const Instrument& instrument = read.set.instruments.at(0);
    EXPECT_EQ(read.set.text(instrument.name), "Caf&eacute; Synth");
    EXPECT_EQ(voicesOf(read.set, instrument), (std::vector<std::string>{"0:0 2=R&B Piano", "0:0 128=Above"}))
        << "a PC above 128 is kept for the writers to name";
    // A definition of such PCs alone gives files that name no patch, which is said.
    const ReadResult above = readHapax("VERSION 1\nTRACKNAME High\n[PC]\n129 Above\n[/PC]\n", "x");
    Diagnostics empty;
    warnWhenEmpty(*formatRow(FileFormat::CubaseScript), above.set, 0, empty);
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_EQ(empty.list()[0].message,
              "\"High\" holds no patches: the Cubase patchname script written for it names none");

    const struct
    {
        std::string text;
        std::string error;
    } failures[] = {
        {"# only a comment\n\n",
         "holds no directive or section: a Hapax definition has lines such as \"VERSION "
         "1\", \"TRACKNAME NAME\" or \"[PC]\""},
        {std::string("VERSION 1\n\0", 11), "holds a NUL byte: this is binary data, not a Hapax definition"},
    };
    for (const auto& c : failures) {
        const ReadResult failed = readHapax(c.text, "x");
        ASSERT_FALSE(failed.ok());
        EXPECT_EQ(failed.error->message, c.error);
        EXPECT_TRUE(failed.warnings.empty());
    }
}

TEST(HapaxReader, TellsDefinitionsFromScriptsDefinitionFilesAndProse)
{
    const struct
    {
        std::string head;
        FileFormat format;
    } cases[] = {
        {"VERSION 1 # Currently, this should only be 1.\r\n", FileFormat::Hapax},
        {"\xEF\xBB\xBF# comment\n\ntrackname Synth\n", FileFormat::Hapax},
        {"[pc]\n1 Piano\n[/pc]\n", FileFormat::Hapax},
        {"TYPE drum\n", FileFormat::Hapax},
        {"[cubase parse file]\n[define patchnames]\n[mode]\tGM\n[p1, 0, 0]\tPiano\n[end]\n",
         FileFormat::CubaseScript},
        {".Patch Names\n[PC]\n0=Piano\n", FileFormat::Ins},
        {"Version 1.0 of the manual\n", FileFormat::Unknown},
        {"Type anything here\n", FileFormat::Unknown},
        {"# REAPER note names\n36 Kick\n", FileFormat::Unknown},
        {"[/PC]\n", FileFormat::Unknown},
    };
    for (const auto& c : cases)
        EXPECT_EQ(detectFormat(c.head), c.format) << c.head;
}

/// Every PC line of a file as the Hapax reads it: "MSB:LSB PC" (bytes as written) to the name.
std::map<std::string, std::string> pcLinesOf(const std::string& text)
{
    std::map<std::string, std::string> lines;
    std::istringstream in(text);
    bool inPc = false;
    for (std::string line; std::getline(in, line);) {
        line = line.substr(0, line.find('#'));
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        line.erase(0, line.find_first_not_of(" \t"));
        if (line == "[PC]" || line == "[/PC]")
            inPc = line == "[PC]";
        const auto blank = line.find_first_of(" \t");
        if (!inPc || line.empty() || line[0] == '[' || blank == std::string::npos)
            continue;
        std::string number = line.substr(0, blank);
        if (number.find(':') == std::string::npos)
            number += ":NULL:NULL";
        const std::string name = line.substr(line.find_first_not_of(" \t", blank));
        const auto colon = number.find(':');
        lines[number.substr(colon + 1) + " " + number.substr(0, colon)] = name;
    }
    return lines;
}

TEST(HapaxReader, EveryCorpusFileConvertsToInsWithEveryPcEntryAtItsBankAndProgram)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    std::size_t entries = 0;
    for (const auto& file : std::filesystem::recursive_directory_iterator(corpus / "hapax")) {
        if (file.path().extension() != ".txt")
            continue;
        SCOPED_TRACE(file.path().filename().string());
        const std::string text = test::readFile(file.path());
        ASSERT_EQ(detectFormat(text), FileFormat::Hapax);
        const ReadResult read = readHapax(text, "stem");
        ASSERT_TRUE(read.ok());
        StringSink ins;
        Diagnostics warnings;
        const std::vector<std::size_t> first{0};
        writeIns(read.set, first, {}, ins, warnings);
        const ReadResult back = formatRow(FileFormat::Ins)->read(ins.text, "stem");
        ASSERT_TRUE(back.ok());
        // What came back, by bank number and program, from every definition the .ins file holds.
        std::map<std::pair<std::int32_t, std::int32_t>, std::vector<std::string>> held;
        for (const Instrument& instrument : back.set.instruments)
            back.set.forEachVoice(instrument, [&](const Voice& voice) {
                held[{voice.bank, voice.program}].push_back(std::string(voice.name));
            });
        const std::string told = warningsOf(read);
        for (const auto& [where, name] : pcLinesOf(text)) {
            const auto space = where.find(' ');
            const auto colon = where.find(':');
            const auto byte = [](const std::string& b) { return b == "NULL" ? 0 : std::stoi(b); };
            const int pc = std::stoi(where.substr(space + 1));
            if (pc > 128) {
                EXPECT_NE(told.find("PC " + std::to_string(pc) + " is outside 1 to 128"), std::string::npos);
                continue;
            }
            const std::int32_t bank =
                byte(where.substr(0, colon)) * 128 + byte(where.substr(colon + 1, space - colon - 1));
            const auto found = held.find({bank, pc - 1});
            ASSERT_NE(found, held.end()) << where << " " << name;
            EXPECT_NE(std::find(found->second.begin(), found->second.end(), name), found->second.end())
                << name;
            ++entries;
        }
    }
    EXPECT_GT(entries, 2400u);
}

} // namespace
} // namespace quorvix
