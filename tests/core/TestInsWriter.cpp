// The .ins writer over what the other readers give it: banks that one bank numbering cannot hold together,
// banks without patches, lists no patch uses, and names that repeat.

#include "TestSupport.h"
#include "base/UniqueNames.h"
#include "formats/Formats.h"
#include "formats/ins/InsReader.h"
#include "formats/ins/InsWriter.h"
#include "model/BankGroups.h"

#include <gtest/gtest.h>
#include <numeric>
#include <set>

using namespace quorvix;
namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

struct Written
{
    std::string text;
    std::vector<std::string> warnings;
};

Written toIns(const std::string& source)
{
    const ReadResult read = readInstruments(source, detectFormat(source), "Source");
    EXPECT_TRUE(read.ok()) << (read.ok() ? "" : read.error->message);
    std::vector<std::size_t> all(read.set.instruments.size());
    std::iota(all.begin(), all.end(), std::size_t{0});
    StringSink out;
    Diagnostics warnings;
    writeIns(read.set, all, {}, out, warnings);
    Written written{out.text, {}};
    for (const Diagnostic& warning : warnings.list())
        written.warnings.push_back(warning.message);
    return written;
}

/// The lines of the definitions section.
std::string definitionsOf(const std::string& text)
{
    std::string lines;
    const std::size_t start = text.find(".Instrument Definitions");
    for (std::size_t at = start; at != std::string::npos && at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        const std::string line = text.substr(at, end - at);
        if (!line.empty() && line[0] != '.')
            lines += line + "\n";
        at = end == std::string::npos ? end : end + 2;
    }
    return lines;
}

std::string midnam(const std::string& nameSet)
{
    return "<MIDINameDocument><MasterDeviceNames><Manufacturer>Q</Manufacturer><Model>JP</Model>"
           "<ChannelNameSet Name=\"S\">" +
           nameSet + "</ChannelNameSet></MasterDeviceNames></MIDINameDocument>";
}

std::string bank(const std::string& name, const std::string& select, const std::string& patches)
{
    std::string text = "<PatchBank Name=\"" + name + "\">";
    if (!select.empty())
        text += "<MIDICommands>" + select + "</MIDICommands>";
    return text + "<PatchNameList>" + patches + "</PatchNameList></PatchBank>";
}

std::string patch(int program, const std::string& name)
{
    return "<Patch Number=\"" + std::to_string(program) + "\" Name=\"" + name + "\" ProgramChange=\"" +
           std::to_string(program) + "\"/>";
}

const std::string kSelect10240 =
    "<ControlChange Control=\"0\" Value=\"80\"/><ControlChange Control=\"32\" Value=\"0\"/>";

} // namespace

TEST(InsWriter, BanksThatNameTheSameProgramsOfOneBankGoIntoFurtherDefinitions)
{
    struct Row
    {
        const char* what;
        std::string source;
        std::string definitions;
        std::string warning; ///< the first warning; empty for none
    };
    const std::vector<Row> rows = {
        {"programs collide",
         midnam(bank("Perf", kSelect10240, patch(0, "P1")) + bank("Patch", kSelect10240, patch(0, "A1"))),
         "[JP]\nPatch[10240]=Perf\n[JP (Patch)]\nPatch[10240]=Patch\n",
         "\"JP\": banks \"Perf\" and \"Patch\" both select bank 10240 and name the same programs; \"Patch\" "
         "is "
         "written in a further definition, \"JP (Patch)\""},
        {"programs differ: one bank",
         midnam(bank("Pianos", kSelect10240, patch(0, "P1")) + bank("Organs", kSelect10240, patch(1, "O1"))),
         "[JP]\nPatch[10240]=Pianos\n", ""},
        {"a mode's banks stay together",
         midnam(bank("Prog A", "", patch(0, "P")) + bank("Drums", "", patch(0, "D")) +
                bank("Combi A", "", patch(0, "C")) +
                bank("Combi B",
                     "<ControlChange Control=\"32\" Value=\"1\"/><ControlChange Control=\"0\" "
                     "Value=\"0\"/>",
                     patch(0, "C2"))),
         "[JP]\nPatch[0]=Prog A\nPatch[1]=Combi B\n[JP (Drums)]\nPatch[0]=Drums\n[JP (Combi "
         "A)]\nPatch[0]=Combi "
         "A\n",
         "\"JP\": banks \"Prog A\" and \"Drums\" both select bank 0 and name the same programs; \"Drums\" is "
         "written in a further definition, \"JP (Drums)\""},
        {"REAPER bank file", "Bank 0 0 Tones\n0 Piano\nBank 0 0 Drum Sets\n0 Standard\n",
         "[Source]\nPatch[0]=Tones\n[Source (Drum Sets)]\nPatch[0]=Drum Sets\n",
         "\"Source\": banks \"Tones\" and \"Drum Sets\" both select bank 0 and name the same programs; "
         "\"Drum "
         "Sets\" is written in a further definition, \"Source (Drum Sets)\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Written written = toIns(row.source);
        EXPECT_EQ(definitionsOf(written.text), row.definitions);
        if (row.warning.empty())
            EXPECT_EQ(written.warnings, std::vector<std::string>{});
        else
            EXPECT_EQ(written.warnings.at(0), row.warning);
        // The written file reads back with every definition.
        EXPECT_TRUE(readIns(written.text).ok());
    }
}

TEST(InsWriter, BanksThatSelectNoBankAreNamedWithWhatTheDefinitionSends)
{
    const std::string msb3 = "<ControlChange Control=\"0\" Value=\"3\"/>";
    struct Row
    {
        const char* what;
        std::string source;
        std::vector<std::string> warnings;
    };
    const std::vector<Row> rows = {
        {"one bank",
         midnam(bank("Tones", "", patch(0, "P"))),
         {"\"JP\": bank \"Tones\" sends no bank select; the definition will send CC0 0 / CC32 0 for it"}},
        {"several banks, one warning",
         midnam(bank("Piano", "", patch(0, "P")) + bank("Organ", "", patch(16, "O")) +
                bank("Bass", "", patch(32, "B"))),
         {"\"JP\": banks \"Piano\", \"Organ\", \"Bass\" send no bank select; the definition will send CC0 0 "
          "/ "
          "CC32 0 for them"}},
        {"a definition that sends CC0 alone",
         midnam(bank("User", msb3, patch(0, "U")) + bank("GM", "", patch(0, "G"))),
         {"\"JP\": bank \"GM\" sends no bank select; the definition will send CC0 0 for it"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(toIns(row.source).warnings, row.warnings);
    }
}

TEST(InsWriter, BanksWithoutPatchesAreNotWrittenAndCrashNothing)
{
    const std::string sources[] = {
        midnam("<PatchBank Name=\"B\"/>"),
        midnam("<PatchBank Name=\"B\"><UsesPatchNameList Name=\"Elsewhere\"/></PatchBank>"),
    };
    for (const std::string& source : sources) {
        const Written written = toIns(source);
        EXPECT_EQ(definitionsOf(written.text), "[JP]\n");
    }
}

TEST(InsWriter, ListsOfTheDeviceThatNoPatchUsesAreKeptAndNamed)
{
    const std::string source =
        "<MIDINameDocument><MasterDeviceNames><Model>D4</Model><ChannelNameSet Name=\"S\">" +
        bank("Kits", "", patch(0, "Kit 1")) +
        "</ChannelNameSet><NoteNameList Name=\"Kit 1 Notes\"><Note Number=\"36\" "
        "Name=\"Kick\"/></NoteNameList>"
        "<ControlNameList Name=\"Knobs\"><Control Type=\"7bit\" Number=\"74\" Name=\"Cutoff\"/>"
        "</ControlNameList></MasterDeviceNames></MIDINameDocument>";
    const Written written = toIns(source);
    EXPECT_NE(written.text.find(".Note Names\r\n\r\n[Kit 1 Notes]\r\n36=Kick\r\n"), std::string::npos);
    EXPECT_NE(written.text.find(".Controller Names\r\n\r\n[Knobs]\r\n74=Cutoff\r\n"), std::string::npos);
    const std::vector<std::string> expected = {
        "\"D4\": bank \"Kits\" sends no bank select; the definition will send CC0 0 / CC32 0 for it",
        "device \"D4\": 1 note name list that no patch uses is written in the list sections, where no "
        "definition uses it: \"Kit 1 Notes\"",
        "device \"D4\": 1 controller, RPN or NRPN name list that no patch uses is written in the list "
        "sections, "
        "where no definition uses it: \"Knobs\""};
    EXPECT_EQ(written.warnings, expected);

    // Their names count in the choice of the file's encoding: a name Windows-1252 cannot hold keeps UTF-8.
    const std::string accented =
        "<MIDINameDocument><MasterDeviceNames><Model>D4</Model><ChannelNameSet Name=\"S\">" +
        bank("Kits", "", patch(0, "Caf\xC3\xA9")) +
        "</ChannelNameSet><NoteNameList Name=\"Kit \xE2\x9C\x93\"><Note Number=\"36\" Name=\"Kick\"/>"
        "</NoteNameList></MasterDeviceNames></MIDINameDocument>";
    const Written utf8 = toIns(accented);
    EXPECT_NE(utf8.text.find("[Kit \xE2\x9C\x93]"), std::string::npos);
    EXPECT_NE(utf8.text.find("0=Caf\xC3\xA9"), std::string::npos);
}

TEST(UniqueNames, RepeatedNamesGetTheNextFreeNumber)
{
    UniqueNames names;
    names.take("L (3)");
    const std::vector<std::string> given = {"L", "L", "L", "M", "L", "L (2)", "M"};
    std::vector<std::string> made;
    for (const std::string& name : given)
        made.push_back(names.make(name));
    const std::vector<std::string> expected = {"L", "L (2)", "L (4)", "M", "L (5)", "L (2) (2)", "M (2)"};
    EXPECT_EQ(made, expected);
}

TEST(InsWriterCorpus, EveryPatchKeepsTheBankItsSourceSelects)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    std::size_t files = 0;
    for (const char* folder : {"midnam", "reabank"}) {
        for (const auto& entry : fs::directory_iterator(corpus / folder)) {
            if (!entry.is_regular_file() || entry.path().extension() != "." + std::string(folder))
                continue; // the DTD's folder and the sources' notes
            const std::string source = test::readFile(entry.path());
            const ReadResult read =
                readInstruments(source, detectFormat(source), entry.path().stem().string());
            if (!read.ok())
                continue;
            ++files;
            std::multiset<std::string> selected;
            for (const Instrument& instrument : read.set.instruments)
                for (const Bank& bank : instrument.banks)
                    if (const PatchList* list = read.set.patchListOf(bank))
                        for (const Patch& patch : list->patches) {
                            bool changed = false;
                            selected.insert(std::to_string(bankNumberUnder(instrument.method, bank.number)) +
                                            " " + std::to_string(patch.program) + " " +
                                            insSafeName(read.set.utf8(patch.name), changed));
                        }
            std::vector<std::size_t> all(read.set.instruments.size());
            std::iota(all.begin(), all.end(), std::size_t{0});
            StringSink out;
            Diagnostics warnings;
            writeIns(read.set, all, {}, out, warnings);
            const ReadResult back = readIns(out.text);
            ASSERT_TRUE(back.ok()) << entry.path();
            std::multiset<std::string> written;
            for (const Instrument& instrument : back.set.instruments)
                back.set.forEachVoice(instrument, [&](const Voice& voice) {
                    written.insert(std::to_string(bankNumberUnder(instrument.method, voice.bank)) + " " +
                                   std::to_string(voice.program) + " " +
                                   toUtf8(voice.name, back.set.encoding));
                });
            EXPECT_EQ(written, selected) << entry.path();
        }
    }
    EXPECT_GT(files, 400u);
}

TEST(InsNames, EachRuleKeepsWhatItsPathHasAlwaysWritten)
{
    const struct
    {
        std::string name;
        InsNameRule rule;
        std::string written;
        std::string_view change; ///< the start of the reason; empty for an unchanged name
    } cases[] = {
        {"Warm Pad", InsNameRule::Model, "Warm Pad", ""},
        {"  Warm Pad  ", InsNameRule::Model, "Warm Pad", ""},
        {"Warm\rPad", InsNameRule::Model, "Warm Pad", "an instrument definition file cannot hold it"},
        {"Bell\x01", InsNameRule::Model, "Bell", "an instrument definition file cannot hold it"},
        {"Bass ; Sub", InsNameRule::Model, "Bass; Sub", "an instrument definition file cannot hold it"},
        {"Tab\there", InsNameRule::Model, "Tab\there", ""},
        {"Warm\rPad", InsNameRule::Window, "Warm Pad", "a line break inside a name"},
        {"Pad\r", InsNameRule::Window, "Pad\r", ""},
        {"Bell\x01", InsNameRule::Window, "Bell\x01", ""},
        {"  Pad  ", InsNameRule::Window, "  Pad  ", ""},
        {"Bass ; Sub", InsNameRule::Window, "Bass; Sub", "a \";\" after a blank"},
        {"Bass;Sub", InsNameRule::Window, "Bass;Sub", ""},
        {"Line\r\nBreak\0Nul"s, InsNameRule::WindowComment, "Line  Break Nul", "a line break inside a name"},
        {"Bass ; Sub", InsNameRule::WindowComment, "Bass ; Sub", ""},
    };
    for (const auto& c : cases) {
        std::string scratch;
        const InsName safe = insName(c.name, c.rule, scratch);
        EXPECT_EQ(safe.text, c.written) << c.name;
        EXPECT_EQ(safe.change.substr(0, c.change.size()), c.change) << c.name;
        EXPECT_EQ(safe.change.empty(), c.change.empty()) << c.name;
    }
}
