#include "TestSupport.h"
#include "formats/Formats.h"
#include "formats/reaper/ReabankReader.h"
#include "formats/reaper/ReabankWriter.h"
#include "formats/reaper/ReaperText.h"

#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace quorvix;

namespace {

// Names each case of a table by its "what", for readable test listings.
template <typename Case>
requires requires(const Case& c)
{
    c.what;
}
void PrintTo(const Case& c, std::ostream* out)
{
    *out << c.what;
}

struct PatchRow
{
    int program;
    std::string name;
    std::int32_t noteList = kNoList;
};

struct BankRow
{
    std::int32_t number;
    std::string name;
    std::vector<PatchRow> patches;
    std::string listName = {};
};

/// A set with one instrument, "Synth", holding these banks, each with a patch list of its own.
InstrumentSet makeSet(const std::vector<BankRow>& banks, BankSelectMethod method = BankSelectMethod::Normal,
                      TextEncoding encoding = TextEncoding::Utf8)
{
    InstrumentSet set;
    set.encoding = encoding;
    Instrument instrument;
    instrument.name = set.keep("Synth");
    instrument.method = method;
    for (const BankRow& row : banks) {
        PatchList list{set.keep(row.listName), {}, {}};
        for (const PatchRow& patch : row.patches)
            list.patches.push_back(
                Patch{set.keep(patch.name), static_cast<std::uint8_t>(patch.program), patch.noteList});
        instrument.banks.push_back(Bank{row.number, bankSelectFor(method, row.number), set.keep(row.name),
                                        static_cast<std::int32_t>(set.patchLists.size())});
        set.patchLists.push_back(std::move(list));
    }
    set.instruments.push_back(std::move(instrument));
    return set;
}

const ReaperOptions kOptions{"a\r\nb.ins", {"01/02/03", "04:05:06"}};
const std::string kHeader = "// REAPER bank file generated with Quorvix 01/02/03 04:05:06\n// Instrument: "
                            "Synth\n// Source: a  b.ins\n\n";

struct WriteCase
{
    const char* what;
    InstrumentSet set;
    std::string text; // after the header
    std::string warnings;
};

class ReabankWrite : public testing::TestWithParam<WriteCase>
{};

TEST_P(ReabankWrite, WritesThisText)
{
    const WriteCase& c = GetParam();
    Diagnostics warnings;
    StringSink sink;
    writeReabank(c.set, c.set.instruments.front(), kOptions, sink, warnings);
    EXPECT_EQ(sink.text, kHeader + c.text);
    std::string messages;
    for (const Diagnostic& warning : warnings.list())
        messages += warning.message + "\n";
    EXPECT_EQ(messages, c.warnings);
}

const std::string kLeftOut = "\" is left out: REAPER numbers banks 0 to 16383 (MSB and LSB 0 to 127)\n";

INSTANTIATE_TEST_SUITE_P(
    Sets, ReabankWrite,
    testing::Values(WriteCase{"banks in the source's order, MSB and LSB from the number, programs ascending",
                              makeSet({{8321, "Horns", {{52, "marcato"}, {1, "long"}}},
                                       {0, "GM", {{0, "Piano"}}}}),
                              "Bank 65 1 Horns\n1 long\n52 marcato\nBank 0 0 GM\n0 Piano\n", ""},
                    WriteCase{"bank name from the patch list, else the number",
                              makeSet({{5, "", {{0, "a"}}, "List five"}, {16383, "", {}}}),
                              "Bank 0 5 List five\n0 a\nBank 127 127 Bank 16383\n", ""},
                    WriteCase{"names on one line",
                              makeSet({{0,
                                        "Two\r\nlines",
                                        {{0, "\ttab\x01"
                                             "bell\x7F "},
                                         {2, "nel\xC2\x85sep\xE2\x80\xA8x"}}}}),
                              "Bank 0 0 Two  lines\n0 tab bell\n2 nel sep x\n", ""},
                    WriteCase{"Windows-1252 names become UTF-8, invalid UTF-8 U+FFFD",
                              makeSet({{0, "Caf\xE9", {{0, "\x93Q\x94 \x80"}, {1, "C1 \x81"}}}},
                                      BankSelectMethod::Normal, TextEncoding::Windows1252),
                              "Bank 0 0 Caf\xC3\xA9\n0 \xE2\x80\x9CQ\xE2\x80\x9D \xE2\x82\xAC\n1 C1\n", ""},
                    WriteCase{"what REAPER cannot number is left out, an empty name is made up",
                              makeSet({{-1, "Neg", {}},
                                       {16384, "Big", {}},
                                       {2, "B", {{0, " \t"}, {200, "over"}, {1, "\xFF"}}}}),
                              "Bank 0 2 B\n0 Program 0\n1 \xEF\xBF\xBD\n",
                              "bank -1 \"Neg" + kLeftOut + "bank 16384 \"Big" + kLeftOut +
                                  "bank 2 \"B\": program 0 has no name; written as \"Program 0\"\n"
                                  "bank 2 \"B\": program 200 is left out: programs are 0 to 127\n"}));

struct MethodCase
{
    const char* what;
    BankSelectMethod method;
    std::string says; // a line of the comment block
    std::string banks;
};

class ReabankWriteMethod : public testing::TestWithParam<MethodCase>
{};

TEST_P(ReabankWriteMethod, SaysWhatTheDeviceExpectsInCommentsBeforeTheBanks)
{
    const MethodCase& c = GetParam();
    const InstrumentSet set = makeSet({{2, "Two", {{5, "five"}}}}, c.method);
    Diagnostics warnings;
    StringSink sink;
    writeReabank(set, set.instruments.front(), kOptions, sink, warnings);
    ASSERT_EQ(sink.text.substr(0, kHeader.size()), kHeader);
    const std::size_t blank = sink.text.find("\n\n", kHeader.size());
    ASSERT_NE(blank, std::string::npos);
    const std::string note = sink.text.substr(kHeader.size(), blank + 1 - kHeader.size());
    EXPECT_NE(note.find(c.says), std::string::npos) << note;
    for (std::size_t at = 0; at < note.size(); at = note.find('\n', at) + 1)
        EXPECT_EQ(note.substr(at, 3), "// ") << note;
    EXPECT_EQ(sink.text.substr(blank + 2), c.banks);
}

INSTANTIATE_TEST_SUITE_P(
    Methods, ReabankWriteMethod,
    testing::Values(MethodCase{"CC0", BankSelectMethod::MsbOnly, "banks with CC0 (bank select MSB) alone",
                               "Bank 0 2 Two\n5 five\n"},
                    MethodCase{"CC32", BankSelectMethod::LsbOnly, "banks with CC32 (bank select LSB) alone",
                               "Bank 0 2 Two\n5 five\n"},
                    MethodCase{"program change", BankSelectMethod::ProgramChange,
                               "a program change of 100 + the bank number",
                               "// Bank 2: program change 102 first\nBank 0 2 Two\n5 five\n"}));

// "number:name[program=name,...]" per bank of the first instrument, names as UTF-8.
std::string modelText(const InstrumentSet& set)
{
    std::string text;
    for (const Bank& bank : set.instruments.at(0).banks) {
        text += std::to_string(bank.number) + ':' + set.utf8(bank.name) + '[';
        for (const Patch& patch : set.patchLists.at(static_cast<std::size_t>(bank.patchList)).patches)
            text += std::to_string(patch.program) + '=' + set.utf8(patch.name) + ',';
        text += "]\n";
    }
    return text;
}

TEST(ReabankRoundTrip, EveryCorpusFileKeepsEveryPatch)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    const std::map<std::string, std::string> instruments = {{"sc-88-pro.reabank", "SC-88 Pro"},
                                                            {"fp-90.reabank", "fp-90"},
                                                            {"fp-90-drums.reabank", "fp-90-drums"},
                                                            {"psr-e323.reabank", "psr-e323"}};
    for (const auto& [file, instrument] : instruments) {
        const ReadResult read =
            readReabank(test::readFile(corpus / "reabank" / file), file.substr(0, file.find('.')));
        ASSERT_TRUE(read.ok()) << file;
        EXPECT_EQ(read.set.utf8(read.set.instruments.at(0).name), instrument);
        StringSink written;
        Diagnostics warnings;
        writeReabank(read.set, read.set.instruments[0], kOptions, written, warnings);
        // The SC-88 Pro file gives its drum sets the bank numbers of its melodic banks, as REAPER reads it.
        if (file == "sc-88-pro.reabank") {
            ASSERT_FALSE(warnings.empty());
            EXPECT_EQ(
                warnings.list()[0].message.rfind("banks \"Capital Instruments\" and \"Drum Sets\" are both "
                                                 "written as Bank 0 0 and name the same programs: REAPER "
                                                 "cannot tell them apart",
                                                 0),
                0u);
        } else {
            EXPECT_TRUE(warnings.empty()) << file;
        }
        const ReadResult again = readReabank(written.text, "other");
        ASSERT_TRUE(again.ok()) << file;
        EXPECT_TRUE(again.warnings.empty()) << file;
        EXPECT_EQ(again.set.utf8(again.set.instruments.at(0).name), instrument);
        EXPECT_EQ(modelText(again.set), modelText(read.set)) << file;
    }
}

// Note names ------------------------------------------------------------------------------------------------

std::int32_t addNotes(InstrumentSet& set, const std::string& name,
                      const std::vector<std::pair<int, std::string>>& notes)
{
    NoteList list{set.keep(name), {}};
    for (const auto& [number, noteName] : notes)
        list.notes.push_back(NameEntry{static_cast<std::uint16_t>(number), set.keep(noteName)});
    set.noteLists.push_back(std::move(list));
    return static_cast<std::int32_t>(set.noteLists.size() - 1);
}

std::string noteFile(const InstrumentSet& set, std::int32_t list)
{
    StringSink sink;
    writeReaperNoteNames(set, set.instruments.front(), list, kOptions, sink);
    return sink.text;
}

const std::string kNoteSource = "# Source: a  b.ins, generated with Quorvix 01/02/03 04:05:06\n";

TEST(ReaperNoteNames, NameTheUsersThenTheNotesHighestFirst)
{
    InstrumentSet set = makeSet(
        {{0, "Drums", {{0, "S1", 0}, {1, "S2", 0}, {2, "S3", 0}, {8, "R", 0}, {16, "P"}, {25, "T", 0}}},
         {128, "", {{0, "Piano"}}, "Tones"},
         {129, "More", {{4, "Other", 0}}}});
    // Unordered, a repeated note (the later wins), a number above 127 and a name of blanks only.
    addNotes(set, "Standard",
             {{38, "Snare"}, {36, "Kick"}, {38, "Acoustic\tSnare"}, {200, "Out"}, {40, " \r\n"}});
    addNotes(set, "Power", {{36, "Power Kick"}});
    set.instruments[0].noteList = 1;
    EXPECT_EQ(noteFile(set, 0),
              "# Synth: note names \"Standard\"\n# Used by bank 0 0 \"Drums\", programs 0-2, 8, 25\n"
              "# Used by bank 1 1 \"More\", program 4\n" +
                  kNoteSource + "38 Acoustic Snare\n36 Kick\n");
    EXPECT_EQ(noteFile(set, 1),
              "# Synth: note names \"Power\"\n"
              "# The instrument's note names, for every patch that has none of its own\n"
              "# Used by bank 0 0 \"Drums\", program 16\n# Used by bank 1 0 \"Tones\", program 0\n" +
                  kNoteSource + "36 Power Kick\n");
    EXPECT_EQ(noteFile(set, 2), "");
    EXPECT_EQ(noteFile(set, -1), "");
}

struct UseCase
{
    const char* what;
    std::vector<BankRow> banks;
    std::int32_t instrumentList;
    std::string uses;
};

class ReaperNoteListUses : public testing::TestWithParam<UseCase>
{};

TEST_P(ReaperNoteListUses, AreInFirstUseOrder)
{
    InstrumentSet set = makeSet(GetParam().banks);
    for (int i = 0; i < 3; ++i)
        addNotes(set, "L", {});
    set.instruments[0].noteList = GetParam().instrumentList;
    std::string text;
    for (const NoteListUse& use : noteListsOf(set, set.instruments.front())) {
        text += std::to_string(use.noteList) + (use.instrumentDefault ? "*:" : ":");
        for (const PatchUser& user : use.users)
            text += std::to_string(user.bank) + '/' + std::to_string(user.program) + ' ';
        text += '|';
    }
    EXPECT_EQ(text, GetParam().uses);
}

INSTANTIATE_TEST_SUITE_P(
    Instruments, ReaperNoteListUses,
    testing::Values(
        UseCase{"none", {{0, "A", {{0, "a"}}}}, kNoList, ""},
        UseCase{"first use decides",
                {{0, "A", {{0, "a", 2}, {1, "b", 0}, {2, "c", 2}}}, {1, "B", {{0, "d", 0}}}},
                kNoList,
                "2:0/0 0/2 |0:0/1 1/0 |"},
        UseCase{"patches without a list use the instrument's",
                {{0, "A", {{0, "a"}, {1, "b", 1}}}, {1, "B", {{5, "e"}}}},
                0,
                "0*:0/0 1/5 |1:0/1 |"},
        UseCase{"the instrument's list unused comes last", {{0, "A", {{0, "a", 1}}}}, 2, "1:0/0 |2*:|"},
        UseCase{"indexes outside the set are ignored", {{0, "A", {{0, "a", 7}, {1, "b", -5}}}}, 9, ""}));

// A REAPER note-name file as note -> name, by the format's own rules: "#" comments, "NOTE NAME".
std::map<int, std::string> noteNames(const std::string& bytes)
{
    std::map<int, std::string> notes;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        int number = -1;
        std::string name;
        if (line.empty() || line[0] == '#' || !(fields >> number))
            continue;
        std::getline(fields >> std::ws, name);
        notes[number] = name.substr(0, name.find_last_not_of(" \t\r") + 1);
    }
    return notes;
}

TEST(ReaperNoteNamesCorpus, EveryFileWritesTheSameNotesBack)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    for (const char* file : {"generalmidi_drums.txt", "korg_m1_i29.txt", "getgooddrums_invasion.txt"}) {
        const std::map<int, std::string> original = noteNames(test::readFile(corpus / "reaper-notes" / file));
        ASSERT_GT(original.size(), 20u) << file;
        InstrumentSet set = makeSet({});
        std::vector<std::pair<int, std::string>> notes(original.begin(), original.end());
        set.instruments[0].noteList = addNotes(set, file, notes);
        EXPECT_EQ(noteNames(noteFile(set, 0)), original) << file;
    }
}

} // namespace

TEST(ReabankWriter, NamesBecomeOneLineWithoutBlanksAtTheEnds)
{
    struct Case
    {
        std::string what;
        std::string name;
        TextEncoding encoding;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"plain", "Grand Piano", TextEncoding::Utf8, "Grand Piano"},
        {"plain, spaces at either end", "  Grand  Piano  ", TextEncoding::Windows1252, "Grand  Piano"},
        {"the printable ASCII at its ends", " ~x! ", TextEncoding::Utf8, "~x!"},
        {"empty", "", TextEncoding::Utf8, ""},
        {"only spaces", "   ", TextEncoding::Utf8, ""},
        {"blanks at either end and inside", "  \t Grand \r\n Piano \t ", TextEncoding::Utf8,
         "Grand    Piano"},
        {"only blanks", " \t\r\n ", TextEncoding::Utf8, ""},
        {"DEL", "a\x7F", TextEncoding::Utf8, "a"},
        {"Windows-1252", " \x80uro \xE9t\xE9\x85", TextEncoding::Windows1252,
         "\xE2\x82\xACuro \xC3\xA9t\xC3\xA9\xE2\x80\xA6"},
        {"C1 controls, separators, broken UTF-8",
         "a\xC2\x85"
         "b\xE2\x80\xA8"
         "c\xFF",
         TextEncoding::Utf8, "a b c\xEF\xBF\xBD"},
    };
    for (const Case& c : cases) {
        std::string line = "Bank 0 1 ";
        appendOneLine(line, c.name, c.encoding);
        EXPECT_EQ(line, "Bank 0 1 " + c.line) << c.what;
        EXPECT_EQ(oneLine(c.name, c.encoding), c.line) << c.what;
    }
}

TEST(ReabankWriter, NamesWhatABankFileCannotHoldAndBanksREAPERCannotTellApart)
{
    const std::string controls =
        "<ControlNameList Name=\"C\"><Control Type=\"7bit\" Number=\"7\" Name=\"Volume\"/>"
        "<Control Type=\"7bit\" Number=\"10\" Name=\"Pan\"/><Control Type=\"RPN\" Number=\"0\" "
        "Name=\"Bend\"/>"
        "<Control Type=\"NRPN\" Number=\"300\" Name=\"Cut\"/></ControlNameList>";
    const std::string notes = "<NoteNameList Name=\"Kit\"><Note Number=\"36\" Name=\"Kick\"/></NoteNameList>";
    const auto document = [](const std::string& nameSet, const std::string& device) {
        return "<MIDINameDocument><MasterDeviceNames><Model>M</Model><ChannelNameSet Name=\"S\">" + nameSet +
               "</ChannelNameSet>" + device + "</MasterDeviceNames></MIDINameDocument>";
    };
    const auto bank = [](const std::string& name, const std::string& msb, const std::string& patches) {
        return "<PatchBank Name=\"" + name + "\">" +
               (msb.empty() ? std::string()
                            : "<MIDICommands><ControlChange Control=\"0\" Value=\"" + msb +
                                  "\"/><ControlChange Control=\"32\" Value=\"0\"/></MIDICommands>") +
               "<PatchNameList>" + patches + "</PatchNameList></PatchBank>";
    };
    const std::string drums =
        "<Patch Number=\"1\" Name=\"Kit\" ProgramChange=\"0\"><UsesNoteNameList Name=\"Kit\"/></Patch>";
    const std::string piano = "<Patch Number=\"1\" Name=\"Piano\" ProgramChange=\"0\"/>";
    struct Row
    {
        const char* what;
        std::string source;
        bool notesWritten;
        std::vector<std::string> warnings;
    };
    const std::vector<Row> rows = {
        {"controls and notes",
         document(controls + bank("A", "", drums), notes),
         false,
         {"2 controller names are left out: a REAPER bank file cannot hold them",
          "1 RPN name is left out: a REAPER bank file cannot hold them",
          "1 NRPN name is left out: a REAPER bank file cannot hold them",
          "1 note name is left out: a REAPER bank file cannot hold them; write them with --notes DIR"}},
        {"notes written apart", document(bank("A", "", drums), notes), true, {}},
        {"one bank number",
         document(bank("Program A", "", piano) + bank("Drum Kits", "", piano) + bank("Combi A", "0", piano),
                  ""),
         false,
         {"banks \"Program A\", \"Drum Kits\" and \"Combi A\" are all written as Bank 0 0 and name the same "
          "programs: REAPER cannot tell them apart (\"Program A\", \"Drum Kits\" select no bank: REAPER will "
          "send CC0 0 / CC32 0)"}},
        {"lists no patch uses",
         document(bank("A", "1", piano), notes),
         true,
         {"1 note name list of the device that no patch uses is left out: REAPER files hold only the lists "
          "patches use"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const ReadResult read = readInstruments(row.source, FileFormat::Midnam, "M");
        ASSERT_TRUE(read.ok());
        ReaperOptions options = kOptions;
        options.notesWritten = row.notesWritten;
        options.notesHint = "write them with --notes DIR";
        StringSink out;
        Diagnostics warnings;
        writeReabank(read.set, read.set.instruments.at(0), options, out, warnings);
        std::vector<std::string> messages;
        for (const Diagnostic& warning : warnings.list())
            messages.push_back(warning.message);
        EXPECT_EQ(messages, row.warnings);
    }
}
