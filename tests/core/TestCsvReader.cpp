// CSV tables read into the model: the header rows that make a table (and those that do not), separators,
// quoting, the 1-based rule, rows that do not fit, to-csv's own tables and midi.guide's, and the real tables
// of the corpus.

#include "TestSupport.h"
#include "formats/Formats.h"
#include "formats/csv/CsvReader.h"

#include <gtest/gtest.h>
#include <string>

using namespace quorvix;

namespace {

/// Each instrument as "NAME: number/msb/lsb[program=name,...] ..." (msb/lsb "-" when not sent).
std::string voicesText(const InstrumentSet& set)
{
    std::string text;
    for (const Instrument& instrument : set.instruments) {
        text += set.utf8(instrument.name) + ":";
        for (const Bank& bank : instrument.banks) {
            const auto byte = [](std::int16_t value) {
                return value < 0 ? std::string("-") : std::to_string(value);
            };
            text += " " + std::to_string(bank.number) + "/" + byte(bank.select.msb) + "/" +
                    byte(bank.select.lsb) + (bank.name.empty() ? "" : "/" + set.utf8(bank.name)) + "[";
            for (const Patch& patch : set.patchListOf(bank)->patches)
                text += (text.back() == '[' ? "" : ",") + std::to_string(patch.program) + "=" +
                        set.utf8(patch.name);
            text += "]";
        }
        text += "\n";
    }
    return text;
}

/// The names of a list as "number=name,...".
template <typename List>
std::string entriesText(const InstrumentSet& set, const List& entries)
{
    std::string text;
    for (const NameEntry& entry : entries)
        text += (text.empty() ? "" : ",") + std::to_string(entry.number) + "=" + set.utf8(entry.name);
    return text;
}

std::string warningsText(const Diagnostics& warnings)
{
    std::string text;
    for (const Diagnostic& warning : warnings.list())
        text += std::to_string(warning.at.line) + ": " + warning.message + "\n";
    return text;
}

TEST(CsvReader, PatchListsGiveTheseBanksAndWarnings)
{
    const struct
    {
        const char* what;
        std::string file;
        std::string voices;
        std::string warnings;
    } cases[] = {
        {"to-csv's own table: an empty cell is a byte not sent, bank the 14-bit number",
         "\xEF\xBB\xBF"
         "device,bank,bank_name,msb,lsb,program,name\r\nSynth,128,Pianos,1,0,1,Grand\r\nSynth,128,Pianos,1,0,"
         "0,"
         "\"Upright, \"\"old\"\"\"\r\nSynth,3,Drums,,3,0, Kit \r\nSynth,200,,,,5,By program\r\n",
         "Synth: 128/1/0/Pianos[0=Upright, \"old\",1=Grand] 3/-/3/Drums[0=Kit] 200/-/-[5=By program]\n", ""},
        {"columns in any order and case, semicolons, a line break in a quoted name, CR line ends",
         "Name;PC;Bank MSB;cc32\r\"Two\nLines\";3;0;1\r;4;0;1\r", "stem: 1/0/1[3=Two\nLines,4=]\n", ""},
        {"tabs, a combined bank, one device a definition, blank rows passed over",
         "device\tbank\tprog\tpatch\nA\t129\t0\tOne\n\t\t\t\nB\t0\t1\tTwo\n",
         "A: 129/1/1[0=One]\nB: 0/0/0[1=Two]\n", ""},
        {"a column that holds 128 and never 0 counts from 1",
         "pc,name,category\n1,First,Pads\n128,Last,Pads\n", "stem: 0/-/-[0=First,127=Last]\n",
         "1: the \"pc\" column counts programs from 1 (it holds 128 and never 0): each is read as one less, "
         "the "
         "program change a device receives\n"
         "1: the \"category\" column is left out: Quorvix keeps no such values\n"},
        {"rows that do not fit are skipped with their line, never fatal",
         "program,name,msb\n0,Ok,0\n1 Broken\nx,Bad,0\n2,High,128\n0,Again,0\n,Empty,0\n128,Out,0\n",
         "stem: 0/0/-[0=Ok]\n",
         "3: row skipped: it has 1 cell, but the header's columns need 2\n"
         "4: row skipped: its \"program\" cell \"x\" is no number from 0 to 128\n"
         "5: row skipped: its \"msb\" cell \"128\" is no number from 0 to 127\n"
         "6: row skipped: program 0 of this bank is named on line 2 already\n"
         "7: row skipped: its \"program\" cell is empty\n"
         "8: row skipped: program 128 is no program from 0 to 127\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(looksLikeCsv(c.file));
        const ReadResult read = readCsv(c.file, "stem");
        ASSERT_TRUE(read.ok()) << read.error->message;
        EXPECT_EQ(voicesText(read.set), c.voices);
        EXPECT_EQ(warningsText(read.warnings), c.warnings);
    }
}

TEST(CsvReader, NoteAndControllerTablesGiveTheirLists)
{
    const ReadResult notes = readCsv("device,list,note,name\r\nKit,Std,38,Snare\r\nKit,Std,36,Kick\r\n"
                                     "Kit,Room,36,Room Kick\r\nKit,Std,36,Again\r\n",
                                     "stem");
    ASSERT_TRUE(notes.ok());
    const InstrumentSet& set = notes.set;
    ASSERT_EQ(set.instruments.size(), 1u);
    const Instrument& kit = set.instruments[0];
    EXPECT_EQ(entriesText(set, set.noteLists.at(static_cast<std::size_t>(kit.noteList)).notes),
              "36=Kick,38=Snare");
    const std::vector<std::int32_t>& spare =
        set.devices.at(static_cast<std::size_t>(kit.device)).spareNoteLists;
    ASSERT_EQ(spare.size(), 1u);
    EXPECT_EQ(set.utf8(set.noteLists[static_cast<std::size_t>(spare[0])].name), "Room");
    EXPECT_EQ(warningsText(notes.warnings),
              "5: row skipped: note 36 of list \"Std\" is named on an earlier row already\n");

    const ReadResult controls = readCsv("device,type,number,name\nSynth,cc,74,Cutoff\nSynth,nrpn,300,Drive\n"
                                        "Synth,CC14,1,Mod\nSynth,sysex,1,X\nSynth,cc,128,Y\n",
                                        "stem");
    ASSERT_TRUE(controls.ok());
    const Instrument& synth = controls.set.instruments.at(0);
    const auto list = [&](std::int32_t index) {
        return entriesText(controls.set,
                           controls.set.controlLists.at(static_cast<std::size_t>(index)).controls);
    };
    EXPECT_EQ(list(synth.controllers), "1=Mod,74=Cutoff");
    EXPECT_EQ(list(synth.nrpns), "300=Drive");
    EXPECT_EQ(synth.rpns, kNoList);
    EXPECT_EQ(warningsText(controls.warnings),
              "0: 1 14-bit controller pair is named at its MSB controller as a 7-bit controller, beside the "
              "7-bit ones\n"
              "5: row skipped: its \"type\" cell \"sysex\" is none of cc, cc14, rpn and nrpn\n"
              "6: row skipped: its \"number\" cell \"128\" is no number from 0 to 127\n");
}

TEST(CsvReader, MidiGuideTablesGiveControllerNamesAndDrumNotes)
{
    const std::string header =
        "manufacturer,device,section,parameter_name,parameter_description,cc_msb,cc_lsb,"
        "cc_min_value,cc_max_value,cc_default_value,nrpn_msb,nrpn_lsb,nrpn_min_value,"
        "nrpn_max_value,nrpn_default_value,orientation,notes,usage\r\n";
    const ReadResult read =
        readCsv(header + "Lofty,Trundler,Osc,Cutoff,\"Opens, closes\",1,33,,,,,,,,,0-based,,\r\n"
                         "Lofty,Trundler,Osc,Pan,,66,,,,,1,3,,,,,,\r\n"
                         "Lofty,Trundler,Osc,Pan again,,66,,,,,,,,,,,,\r\n"
                         "Lofty,Trundler,Osc,Odd pair,,2,60,,,,,,,,,,,\r\n"
                         "Lofty,Trundler,Osc,Nothing,,,,,,,,,,,,,,\r\n",
                "stem");
    ASSERT_TRUE(read.ok());
    const InstrumentSet& set = read.set;
    const Instrument& trundler = set.instruments.at(0);
    EXPECT_EQ(set.utf8(trundler.name), "Trundler");
    EXPECT_EQ(set.utf8(set.devices.at(0).manufacturer), "Lofty");
    EXPECT_EQ(entriesText(set, set.controlLists.at(static_cast<std::size_t>(trundler.controllers)).controls),
              "1=Cutoff,2=Odd pair,66=Pan");
    EXPECT_EQ(entriesText(set, set.controlLists.at(static_cast<std::size_t>(trundler.nrpns)).controls),
              "131=Pan");
    EXPECT_EQ(
        warningsText(read.warnings),
        "0: 1 row names a controller or NRPN that an earlier row names (a mode of the device); the earlier "
        "row's name is kept\n"
        "0: 1 row names a 14-bit controller pair whose LSB controller is not its MSB + 32; it is named at "
        "its MSB controller as a 7-bit controller\n"
        "0: 1 14-bit controller pair is named at its MSB controller as a 7-bit controller, beside the "
        "7-bit ones\n"
        "6: row skipped: it names no controller and no NRPN (its controller and NRPN cells are empty)\n");

    const ReadResult triggers =
        readCsv("manufacturer,device,section,sound_name,sound_description,midi_channel,note_number_min_value,"
                "note_number_max_value,note_number_default_value,comments,velocity_usage\n"
                "V,DRM,Kit,Kick,,10,36,36,36,,\nV,DRM,Kit,Slice,,10,0,15,,,\nV,DRM,Kit,Snare,,10,38,38,,,\n"
                "V,DRM,Kit,Kick 2,,11,36,36,36,,\nV,DRM,Per channel,Tom,,2,40,40,40,,\n",
                "stem");
    ASSERT_TRUE(triggers.ok());
    const Instrument& drm = triggers.set.instruments.at(0);
    EXPECT_EQ(
        entriesText(triggers.set, triggers.set.noteLists.at(static_cast<std::size_t>(drm.noteList)).notes),
        "36=Kick,38=Snare");
    EXPECT_EQ(triggers.set.devices.at(0).spareNoteLists.size(), 1u);
    EXPECT_EQ(
        warningsText(triggers.warnings),
        "0: 1 row names a range of notes and no default note (slices, a sound played chromatically); left "
        "out\n"
        "0: 1 row names a note that an earlier row of its section names (on another channel); the earlier "
        "row's name is kept\n");
}

TEST(CsvReader, OnlyAHeaderRowNamingATableMakesOne)
{
    const struct
    {
        const char* what;
        std::string file;
        std::string error; ///< empty: not even detected as a table
    } cases[] = {
        {"a Cubase script", "[cubase parse file]\n[parser version 1.0]\n[p1, 0, 0, 0] Piano\n", ""},
        {"a REAPER bank file", "Bank 0 0 Piano, strings\n0 Piano\n", ""},
        {"a Hapax definition", "VERSION 1\nTRACKNAME name,program\n[PC]\n1 Piano\n[/PC]\n", ""},
        {"a parameter map without a number column",
         "parameter id,description,values,Midi CC\n1,Cutoff,0.5,\n", ""},
        {"a grid of banks", ",XFM1,,,XFM2\nWGGL ,Wiggle Lead,,L.KCK,Low Kick\n", ""},
        {"names without a program", "name,comment\nPiano,nice\n", ""},
        {"a header and nothing below it", "program,name\r\n",
         "holds no patch: no row below the header names one"},
        {"only broken rows", "program,name\r\nx,y\r\n", "holds no patch: no row below the header names one"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(looksLikeCsv(c.file), !c.error.empty());
        EXPECT_EQ(detectFormat(c.file) == FileFormat::Csv, !c.error.empty());
        const ReadResult read = readCsv(c.file, "stem");
        ASSERT_FALSE(read.ok());
        EXPECT_TRUE(read.warnings.empty());
        if (!c.error.empty()) {
            EXPECT_EQ(read.error->message, c.error);
        }
    }
}

TEST(CsvReader, TheJdxiTableGivesItsPresetsAtPcMinusOne)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    const std::string bytes = test::readFile(corpus / "csv/jdxi-editor/doc/csv/presets.csv");
    const ReadResult read = readCsv(bytes, "presets");
    ASSERT_TRUE(read.ok());
    const InstrumentSet& set = read.set;
    ASSERT_EQ(set.instruments.size(), 1u);
    // 242 rows below the header, one of them separated by spaces.
    EXPECT_EQ(set.voiceCount(set.instruments[0]), 241u);
    const std::string voices = voicesText(set);
    EXPECT_EQ(voices.substr(0, 46), "presets: 12224/95/64[0=JP8 Strings1,1=Soft Pad");
    EXPECT_NE(voices.find("12225/95/65[0="), std::string::npos);
    EXPECT_NE(voices.find(",127=Init Tone]"), std::string::npos); // the last row: pc 128
    EXPECT_EQ(
        warningsText(read.warnings),
        "1: the \"pc\" column counts programs from 1 (it holds 128 and never 0): each is read as one less, "
        "the program change a device receives\n"
        "1: the \"id\" and \"category\" columns are left out: Quorvix keeps no such values\n"
        "230: row skipped: it has 1 cell, but the header's columns need 6\n");
}

TEST(CsvReader, EveryMidiGuideTableReadsWithItsNames)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    std::size_t tables = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus / "midiguide")) {
        if (entry.path().extension() != ".csv")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        const ReadResult read = readCsv(test::readFile(entry.path()), "stem");
        ASSERT_TRUE(read.ok()) << read.error->message;
        ASSERT_EQ(read.set.instruments.size(), 1u);
        const Instrument& instrument = read.set.instruments[0];
        const bool triggers = entry.path().string().ends_with(".triggers.csv");
        EXPECT_EQ(instrument.noteList != kNoList, triggers);
        EXPECT_EQ(instrument.controllers != kNoList || instrument.nrpns != kNoList, !triggers);
        ++tables;
    }
    EXPECT_EQ(tables, 30u);
}

} // namespace
