// The MIDNAM reader: what documents become in the model, what is warned about where, and which inputs fail.

#include "MidnamSupport.h"
#include "TestSupport.h"
#include "formats/Formats.h"
#include "formats/midnam/MidnamReader.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quorvix {
namespace {

/// A ChannelNameSet's start tag and channels, on one line.
std::string nameSet(std::string_view name = "S")
{
    return "<ChannelNameSet Name=\"" + std::string(name) +
           "\"><AvailableForChannels><AvailableChannel Channel=\"1\"/></AvailableForChannels>";
}

/// A document whose line 1 opens the device "Acme Synth"; `body` starts on line 2.
std::string synth(std::string_view body)
{
    return "<MIDINameDocument><Author/><MasterDeviceNames><Manufacturer>Acme</Manufacturer><Model>Synth</"
           "Model>"
           "<CustomDeviceMode Name=\"M\"><ChannelNameSetAssignments><ChannelNameSetAssign Channel=\"1\" "
           "NameSet=\"S\"/></ChannelNameSetAssignments></CustomDeviceMode>\n" +
           std::string(body) + "\n</MasterDeviceNames></MIDINameDocument>\n";
}

std::string describeAll(const ReadResult& result)
{
    std::string out;
    for (const Instrument& instrument : result.set.instruments)
        out += test::describeInstrument(result.set, instrument);
    return out;
}

std::vector<std::string> warningsOf(const ReadResult& result)
{
    std::vector<std::string> out;
    for (const Diagnostic& warning : result.warnings.list())
        out.push_back(std::to_string(warning.at.line) + ":" + std::to_string(warning.at.column) + ": " +
                      warning.message);
    return out;
}

struct ReadCase
{
    const char* title;
    std::string document;
    std::string expected;
    std::vector<std::string> warnings;
};

std::vector<ReadCase> readCases()
{
    const std::string pc = "<ProgramChange Number=";
    return {
        {"a bank's select, its programs sorted, names unescaped; a bank name trimmed, a patch name kept "
         "with its blanks and tab",
         synth(nameSet() +
               "\n<PatchBank Name=\" Pianos \"><MIDICommands><ControlChange Control=\"0\" Value=\"1\"/>"
               "<ControlChange Control=\"32\" Value=\"2\"/></MIDICommands><PatchNameList>\n"
               "<Patch Number=\"2\" Name=\" Bright &amp;&#9;Loud \" ProgramChange=\"1\"/>\n"
               "<Patch Number=\"1\" Name=\"Grand\" ProgramChange=\" 0 \"/>\n"
               "</PatchNameList></PatchBank></ChannelNameSet>"),
         "Synth (Acme Synth) method 0\nbank Pianos [1 2 -] #130 list0: 0:Grand 1: Bright &\tLoud \n",
         {}},
        {"patches' own commands select their bank: one Bank per bank selected, in first-seen order",
         synth(nameSet() +
               "\n<PatchBank Name=\"Cat\"><MIDICommands><ControlChange Control=\"0\" Value=\"5\"/>"
               "</MIDICommands><PatchNameList>\n"
               "<Patch Number=\"a\" Name=\"A\"><PatchMIDICommands><ControlChange Control=\"0\" "
               "Value=\"0\"/><ControlChange Control=\"32\" Value=\"3\"/>" +
               pc +
               "\"7\"/></PatchMIDICommands></Patch>\n<Patch Number=\"b\" Name=\"B\" ProgramChange=\"2\"/>\n" +
               "<Patch Number=\"c\" Name=\"C\"><PatchMIDICommands><ControlChange Control=\"0\" Value=\"0\"/>"
               "<ControlChange Control=\"32\" Value=\"3\"/>" +
               pc + "\"1\"/></PatchMIDICommands></Patch>\n" +
               "<Patch Number=\"d\" Name=\"D\" ProgramChange=\"4\"><PatchMIDICommands><ControlChange "
               "Control=\"0\" "
               "Value=\"5\"/>" +
               pc + "\"9\"/></PatchMIDICommands></Patch>\n</PatchNameList></PatchBank></ChannelNameSet>"),
         "Synth (Acme Synth) method 0\nbank Cat [0 3 -] #3 list0: 1:C 7:A\nbank Cat [5 - -] #640 list1: 2:B "
         "4:D\n",
         {"2:1: instrument \"Synth\": its banks select banks in different ways; bank select method Normal "
          "(CC0 and "
          "CC32) assumed"}},
        {"a list several banks use stays one list; a list the file lacks is warned about",
         synth(nameSet() +
               "\n<PatchBank Name=\"A\"><MIDICommands><ControlChange Control=\"0\" Value=\"0\"/>"
               "</MIDICommands><UsesPatchNameList Name=\"Shared\"/></PatchBank>\n"
               "<PatchBank Name=\"B\"><MIDICommands><ControlChange Control=\"0\" Value=\"1\"/>"
               "</MIDICommands><UsesPatchNameList Name=\"Shared\"/></PatchBank>\n"
               "<PatchBank Name=\"C\"><UsesPatchNameList Name=\"Elsewhere\"/></PatchBank></ChannelNameSet>\n"
               "<PatchNameList Name=\"Shared\"><Patch Number=\"1\" Name=\"One\" ProgramChange=\"0\"/>"
               "</PatchNameList>"),
         "Synth (Acme Synth) method 1\nbank A [0 - -] #0 list0: 0:One\nbank B [1 - -] #128 list0: 0:One\n"
         "bank C [- - -] #0 list-1:\n",
         {"5:21: patch name list \"Elsewhere\" is not in this file (lists of devices defined in other files "
          "are not "
          "read); left out"}},
        {"patches without a usable program are skipped; of one program named twice the last is kept",
         synth(nameSet() +
               "\n<PatchBank Name=\"P\"><PatchNameList>\n<Patch Number=\"1\" Name=\"None\"/>\n"
               "<Patch Number=\"2\" Name=\"Big\" ProgramChange=\"128\"/>\n"
               "<Patch Number=\"3\" Name=\"Word\" ProgramChange=\"x\"/>\n"
               "<Patch Number=\"4\" Name=\"First\" ProgramChange=\"5\"/>\n"
               "<Patch Number=\"5\" Name=\"Second\" ProgramChange=\"5\"/>\n"
               "<Patch Number=\"6\" Name=\"Cmd\"><PatchMIDICommands>" +
               pc + "\"3\"/></PatchMIDICommands></Patch>\n</PatchNameList></PatchBank></ChannelNameSet>"),
         "Synth (Acme Synth) method 0\nbank P [- - -] #0 list0: 3:Cmd 5:Second\n",
         {"4:1: patch \"None\" has no program change; skipped",
          "5:1: patch \"Big\": program change \"128\" is not from 0 to 127; skipped",
          "6:1: patch \"Word\": program change \"x\" is not from 0 to 127; skipped",
          "8:1: bank \"P\": program 5 is named twice (\"First\", then \"Second\"); the last is kept"}},
        {"note names: note groups, the name set's list, a patch's own list",
         synth(nameSet() +
               "\n<UsesNoteNameList Name=\"GM Drums\"/>\n<PatchBank Name=\"Kits\"><PatchNameList>\n"
               "<Patch Number=\"1\" Name=\"Std\" ProgramChange=\"0\"/>\n"
               "<Patch Number=\"2\" Name=\"Room\" ProgramChange=\"8\"><UsesNoteNameList Name=\"Room\"/>"
               "</Patch>\n<Patch Number=\"3\" Name=\"Odd\" ProgramChange=\"9\"><UsesNoteNameList "
               "Name=\"Nowhere\"/></Patch>\n</PatchNameList></PatchBank></ChannelNameSet>\n"
               "<NoteNameList Name=\"GM Drums\"><NoteGroup Name=\"Kicks\"><Note Number=\"36\" "
               "Name=\"Kick\"/><Note Number=\"35\" Name=\"Kick 2\"/></NoteGroup><Note Number=\"38\" "
               "Name=\"Snare\"/></NoteNameList>\n"
               "<NoteNameList Name=\"Room\"><Note Number=\"128\" Name=\"High\"/><Note Number=\"40\" "
               "Name=\"A\"/><Note Number=\"40\" Name=\"B\"/></NoteNameList>"),
         "Synth (Acme Synth) method 0\nnotes GM Drums\nbank Kits [- - -] #0 list0: 0:Std 8:Room{Room} 9:Odd\n"
         "notelist GM Drums: 35:Kick 2 36:Kick 38:Snare\nnotelist Room: 40:A\n",
         {"10:27: note \"High\": number \"128\" is not from 0 to 127; skipped",
          "10:87: note 40 is named twice in note name list \"Room\" (\"A\", then \"B\"); the first is kept",
          "7:48: note name list \"Nowhere\" is not in this file (lists of devices defined in other files are "
          "not "
          "read); left out"}},
        {"controls split by type into controllers, RPNs and NRPNs",
         synth(nameSet() +
               "\n<UsesControlNameList Name=\"Std\"/>\n<PatchBank Name=\"B\"><PatchNameList/>"
               "</PatchBank></ChannelNameSet>\n<ControlNameList Name=\"Std\"><Control Number=\"7\" "
               "Name=\"Volume\"/><Control Type=\"NRPN\" Number=\"300\" Name=\"Cutoff\"/><Control "
               "Type=\"RPN\" Number=\"0\" Name=\"Bend Range\"/><Control Type=\"7bit\" Number=\"1\" "
               "Name=\"Mod\"/><Control Type=\"RPN\" Number=\"20000\" Name=\"Far\"/><Control "
               "Type=\"Analog\" Number=\"3\" Name=\"Knob\"/></ControlNameList>"),
         "Synth (Acme Synth) method 0\nbank B [- - -] #0 list0:\ncontrols Std 7bit: 1:Mod 7:Volume\n"
         "controls Std (RPN) RPN: 0:Bend Range\ncontrols Std (NRPN) NRPN: 300:Cutoff\n",
         {"5:207: control \"Far\": RPN number \"20000\" is not from 0 to 16383; skipped",
          "5:254: control \"Knob\": type \"Analog\" is none of 7bit, 14bit, RPN and NRPN; skipped"}},
        {"several name sets; 14-bit controllers alone, or beside 7-bit ones as their MSB controller",
         synth(nameSet("A") +
               "<UsesControlNameList Name=\"Fine\"/><PatchBank Name=\"B\"><PatchNameList/>"
               "</PatchBank></ChannelNameSet>\n" +
               nameSet("B") +
               "<UsesControlNameList Name=\"Mixed\"/><PatchBank Name=\"B\"><PatchNameList/>"
               "</PatchBank></ChannelNameSet>\n"
               "<ControlNameList Name=\"Fine\"><Control Type=\"14bit\" Number=\"1\" Name=\"Mod\"/>"
               "<Control Type=\"14bit\" Number=\"40\" Name=\"Bad\"/></ControlNameList>\n"
               "<ControlNameList Name=\"Mixed\"><Control Type=\"14bit\" Number=\"1\" Name=\"Mod\"/>"
               "<Control Type=\"14bit\" Number=\"7\" Name=\"Vol\"/><Control Number=\"7\" "
               "Name=\"Volume\"/></ControlNameList>"),
         "Synth (A) (Acme Synth) method 0\nbank B [- - -] #0 list0:\ncontrols Fine 14bit: 1:Mod\n"
         "Synth (B) (Acme Synth) method 0\nbank B [- - -] #0 list1:\ncontrols Mixed 7bit: 1:Mod 7:Volume\n",
         {"4:75: control \"Bad\": 14bit number \"40\" is not from 0 to 31; skipped",
          "5:31: 14-bit controller 1 is kept as 7-bit controller 1 (its MSB), beside the list's 7-bit "
          "controllers",
          "5:76: 14-bit controller 7 is left out: controller 7 is named as a 7-bit one too",
          "1:100: device mode \"M\": channel 1 is assigned to a name set the device does not have (\"S\"); "
          "left out"}},
        {"a StandardDeviceMode, a Device element, further models, a bank selected by program change",
         "<MIDINameDocument><Author/>\n<StandardDeviceMode Name=\"General MIDI\"><ChannelNameSetAssignments>"
         "<ChannelNameSetAssign Channel=\"1\" NameSet=\"S\"/></ChannelNameSetAssignments>\n" +
             nameSet() +
             "<PatchBank Name=\"GM\"><PatchNameList><Patch Number=\"1\" Name=\"Piano\" "
             "ProgramChange=\"0\"/></PatchNameList></PatchBank></ChannelNameSet></StandardDeviceMode>\n"
             "<MasterDeviceNames><Device Name=\"Box\" UniqueID=\"1\"/><CustomDeviceMode Name=\"M\"/>\n" +
             nameSet() + "<PatchBank Name=\"Int\"><MIDICommands>" + pc +
             "\"124\"/></MIDICommands><PatchNameList><Patch Number=\"1\" Name=\"Lead\" ProgramChange=\"3\"/>"
             "</PatchNameList></PatchBank></ChannelNameSet></MasterDeviceNames>\n"
             "<MasterDeviceNames><Manufacturer>Korg</Manufacturer><Model>N1</Model><Model>N5</Model>"
             "<CustomDeviceMode Name=\"M\"/></MasterDeviceNames></MIDINameDocument>",
         "General MIDI method 0\nbank GM [- - -] #0 list0: 0:Piano\nBox ( Box) method 3\n"
         "bank Int [- - 124] #24 list1: 3:Lead\n",
         {"6:1: device \"N1\" has no ChannelNameSet, so no instrument"}},
        {"a document that breaks the DTD is read as far as it makes sense",
         synth(nameSet() +
               "\n<PatchBank Name=\"Odd\"><Unknown/><PatchNameList><Patch ProgramChange=\"1\"/><Patch "
               "Name=\"Two\" ProgramChange=\"2\"><Junk/><PatchMIDICommands><ControlChange Control=\"0\" "
               "Value=\"300\"/></PatchMIDICommands></Patch></PatchNameList><MIDICommands><ControlChange "
               "Control=\"32\" Value=\"9\"/><SysEx>F0 F7</SysEx></MIDICommands></PatchBank>\n"
               "<PatchBank Name=\"Empty\"/></ChannelNameSet>\n<UsesNoteNameList Name=\"Misplaced\"/>"),
         "Synth (Acme Synth) method 2\nbank Odd [- 9 -] #9 list0: 1: 2:Two\nbank Empty [- - -] #0 list-1:\n",
         {"3:273: bank \"Odd\": <SysEx> is not kept (only bank select and program change are)",
          "3:48: patch with program change 1 has no name",
          "3:136: patch \"Two\": bank select value \"300\" is not from 0 to 127; ignored",
          "4:1: bank \"Empty\" has no patch name list"}},
        {"names that are not UTF-8 are read as Windows-1252",
         synth(nameSet() +
               "\n<PatchBank Name=\"Caf\xE9\"><PatchNameList><Patch Number=\"1\" Name=\"Na\xEFve\" "
               "ProgramChange=\"0\"/></PatchNameList></PatchBank></ChannelNameSet>"),
         "Synth (Acme Synth) method 0\nbank Caf\u00e9 [- - -] #0 list0: 0:Na\u00efve\n",
         {"3:1: a name is not valid UTF-8; it and any others like it are read as Windows-1252"}},
        {"lists of ExtendingDeviceNames are found; of two lists with one name the later counts",
         "<MIDINameDocument><Author/>\n<ExtendingDeviceNames><Model>X</Model><PatchNameList "
         "Name=\"Ext\"><Patch "
         "Number=\"1\" Name=\"Far\" ProgramChange=\"0\"/></PatchNameList></ExtendingDeviceNames>\n"
         "<MasterDeviceNames><Manufacturer>Acme</Manufacturer><Model>Synth</Model><CustomDeviceMode "
         "Name=\"M\"/>\n" +
             nameSet() +
             "<PatchBank Name=\"A\"><UsesPatchNameList Name=\"Ext\"/></PatchBank><PatchBank Name=\"B\">"
             "<UsesPatchNameList Name=\"Twice\"/></PatchBank></ChannelNameSet>\n"
             "<PatchNameList Name=\"Twice\"><Patch Number=\"1\" Name=\"Early\" ProgramChange=\"0\"/>"
             "</PatchNameList>\n<PatchNameList Name=\"Twice\"><Patch Number=\"1\" Name=\"Late\" "
             "ProgramChange=\"0\"/></PatchNameList>\n</MasterDeviceNames></MIDINameDocument>",
         "Synth (Acme Synth) method 0\nbank A [- - -] #0 list0: 0:Far\nbank B [- - -] #0 list1: 0:Late\n",
         {"6:1: patch name list \"Twice\" is defined twice; the later one counts"}},
    };
}

TEST(MidnamReader, MapsDocumentsToTheModel)
{
    for (const ReadCase& c : readCases()) {
        SCOPED_TRACE(c.title);
        const ReadResult result = readMidnam(c.document);
        ASSERT_TRUE(result.ok()) << result.error->message;
        EXPECT_EQ(result.set.encoding, TextEncoding::Utf8);
        EXPECT_EQ(describeAll(result), c.expected);
        EXPECT_EQ(warningsOf(result), c.warnings);
    }
}

struct FailCase
{
    const char* title;
    std::string document;
    std::string place;
    std::string message;
};

TEST(MidnamReader, FailsWithThePlaceAndWhy)
{
    const std::string author = "<MIDINameDocument><Author/>\n";
    const std::vector<FailCase> cases = {
        {"tags that do not match", "<MIDINameDocument>\n  <Author>x</Autor>\n</MIDINameDocument>", "2:14",
         "malformed XML: Start-end tags mismatch"},
        {"nothing at all", "", "1:1", "malformed XML: No document element found"},
        {"a broken attribute; the byte-order mark is no column", "\xEF\xBB\xBF<MIDINameDocument Name=x/>",
         "1:24", "malformed XML: Error parsing element attribute"},
        {"a second root element", "<MIDINameDocument/>\n<Other/>", "2:1",
         "malformed XML: a second root element <Other>"},
        {"another kind of XML", "<?xml version=\"1.0\"?>\n<Root/>", "2:1",
         "not a MIDNAM document: the root element is <Root>, not <MIDINameDocument>"},
        {"only lists for devices of other files",
         author + "<ExtendingDeviceNames><Model>X</Model><PatchNameList Name=\"L\"/></ExtendingDeviceNames>"
                  "</MIDINameDocument>",
         "1:1", "holds no device: only lists for devices defined in other files (ExtendingDeviceNames)"},
        {"no device at all", author + "</MIDINameDocument>", "1:1",
         "holds no device (no MasterDeviceNames or StandardDeviceMode)"},
        {"the broken fixture", test::readFile(test::dataDir() / "broken-midnam-tags.midnam"), "6:4",
         "malformed XML: Start-end tags mismatch"},
    };
    for (const FailCase& c : cases) {
        SCOPED_TRACE(c.title);
        const ReadResult result = readMidnam(c.document);
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(std::to_string(result.error->at.line) + ":" + std::to_string(result.error->at.column),
                  c.place);
        EXPECT_EQ(result.error->message, c.message);
    }
}

TEST(MidnamReader, WarnsAboutReferencesItDoesNotReadAsTheyMean)
{
    struct Row
    {
        const char* what;
        std::string document;
        std::string warnings; ///< "line: message" per warning
    };
    const std::string bank = nameSet() + "<PatchBank Name=\"B\"><PatchNameList>";
    const std::string end = "</PatchNameList></PatchBank></ChannelNameSet>";
    const std::vector<Row> rows = {
        {"a reference to no character",
         synth(bank + "<Patch Number=\"1\" Name=\"a&#0;e\" ProgramChange=\"0\"/>\n" +
               "<Patch Number=\"2\" Name=\"b&#x00;\" ProgramChange=\"1\"/>" + end),
         "2: the character reference \"&#0;\" stands for no character: the name ends before it\n"
         "3: the character reference \"&#x00;\" stands for no character: the name ends before it\n"},
        {"a declared entity; its declaration, comments and the usual references are no warning",
         "<!DOCTYPE MIDINameDocument [ <!ENTITY acme \"&amp;Acme\"> ]>\n<!-- &acme; -->" +
             synth(bank + "<Patch Number=\"1\" Name=\"&acme; &amp; &lt;&#65;\" ProgramChange=\"0\"/>" + end),
         "3: the entity reference \"&acme;\" is not expanded (entities are never expanded); it is read as "
         "written\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const ReadResult result = readMidnam(row.document);
        ASSERT_TRUE(result.ok());
        std::string warnings;
        for (const Diagnostic& warning : result.warnings.list())
            warnings += std::to_string(warning.at.line) + ": " + warning.message + "\n";
        EXPECT_EQ(warnings, row.warnings);
    }
}

TEST(MidnamReader, DetectsDocumentsByTheirRootElement)
{
    const std::string doctype =
        "<!DOCTYPE MIDINameDocument PUBLIC \"-//MIDI Manufacturers Association//DTD MIDINameDocument "
        "1.0//EN\" "
        "\"http://www.midi.org/dtds/MIDINameDocument10.dtd\" [ <!ENTITY x \"<MIDINameDocument>\"> ]>";
    std::string utf16;
    for (char c : std::string("<MIDINameDocument>"))
        utf16 += std::string{c, '\0'};
    const std::vector<std::pair<std::string, bool>> cases = {
        {"\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- <Other> -->\n" + doctype + "\n<MIDINameDocument>", true},
        {test::readFile(test::dataDir() / "midnam-synth.midnam"), true},
        {"  <MIDINameDocument><Author>cut he", true},
        {"\xFF\xFE" + utf16, true},
        {"<?xml version=\"1.0\"?><Other><MIDINameDocument/></Other>", false},
        {"Text first <MIDINameDocument>", false},
        {"[Patch Names]\n[Piano]\n0=Grand\n", false},
        {"<MIDINameDoc", false},
        {"", false},
    };
    for (const auto& [head, expected] : cases)
        EXPECT_EQ(looksLikeMidnam(head), expected) << head;
}

/// ASCII text in UTF-16 or UTF-32 code units, with or without a byte-order mark.
std::string wide(std::string_view text, std::size_t unit, bool little, bool mark)
{
    std::string out;
    const auto put = [&](char32_t code) {
        for (std::size_t k = 0; k < unit; ++k) {
            const std::size_t shift = 8 * (little ? k : unit - 1 - k);
            out += static_cast<char>((code >> shift) & 0xFF);
        }
    };
    if (mark)
        put(0xFEFF);
    for (const char c : text)
        put(static_cast<unsigned char>(c));
    return out;
}

TEST(MidnamReader, DetectionLooksPastAnyPrologAndTakesNoTextForMarkup)
{
    const std::string longComment = "<!-- " + std::string(70'000, '-').replace(0, 1, "x") + " -->\n";
    const std::string longSubset = "<!DOCTYPE MIDINameDocument [\n<!-- ]> <Other> -->\n<!ENTITY a \"]>" +
                                   std::string(70'000, 'a') + "\">\n<?pi ]> ?>\n]>\n";
    const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n";
    const std::string root = "<MIDINameDocument/>\n";
    const struct
    {
        const char* what;
        std::string bytes;
        FileFormat format;
    } cases[] = {
        {"a comment of 70,000 bytes", declaration + longComment + root, FileFormat::Midnam},
        {"a DOCTYPE subset of 70,000 bytes", longSubset + root, FileFormat::Midnam},
        {"an .ins file that starts like XML",
         "<?xml version=\"1.0\"?>\n; <MIDINameDocument>\n.Patch Names\n[T]\n0=A\n", FileFormat::Ins},
        {"text after a comment", "<!-- c -->\nText <MIDINameDocument/>", FileFormat::Unknown},
        {"an unclosed DOCTYPE", "<!DOCTYPE MIDINameDocument [ <MIDINameDocument/>", FileFormat::Unknown},
        {"UTF-16 LE without a mark", wide(declaration + root, 2, true, false), FileFormat::Midnam},
        {"UTF-16 BE with a mark", wide(declaration + root, 2, false, true), FileFormat::Midnam},
        {"UTF-32 LE with a mark", wide(declaration + root, 4, true, true), FileFormat::Midnam},
        {"UTF-32 BE without a mark", wide(declaration + root, 4, false, false), FileFormat::Midnam},
        {"UTF-16 with a long comment", wide(longComment + root, 2, true, true), FileFormat::Midnam},
        {"UTF-16 text that is no XML", wide(".Patch Names\n", 2, true, true), FileFormat::Unknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(detectFormat(c.bytes), c.format);
    }
    EXPECT_TRUE(detectionNeedsMore(longSubset.substr(0, kDetectionBytes)));
    EXPECT_FALSE(detectionNeedsMore(".Patch Names\n"));
}

TEST(MidnamReader, ReadsUtf16AndUtf32DocumentsAsTheirUtf8Text)
{
    std::string utf8 = test::readFile(test::dataDir() / "midnam-synth.midnam");
    utf8.insert(utf8.find("<PatchBank"), "<PatchBank Name=\"Empty\"/>\n");
    const ReadResult expected = readMidnam(utf8);
    ASSERT_TRUE(expected.ok());
    ASSERT_FALSE(expected.warnings.list().empty());
    for (const auto& [unit, little] : {std::pair{2u, true}, {2u, false}, {4u, true}, {4u, false}}) {
        SCOPED_TRACE(std::to_string(unit * 8) + (little ? " LE" : " BE"));
        const ReadResult read = readMidnam(wide(utf8, unit, little, true));
        ASSERT_TRUE(read.ok()) << read.error->message;
        ASSERT_EQ(read.set.instruments.size(), expected.set.instruments.size());
        for (std::size_t i = 0; i < read.set.instruments.size(); ++i)
            EXPECT_EQ(read.set.text(read.set.instruments[i].name),
                      expected.set.text(expected.set.instruments[i].name));
        EXPECT_EQ(read.set.voiceCount(read.set.instruments[0]),
                  expected.set.voiceCount(expected.set.instruments[0]));
        // Places in the document stay known: the warnings name the same lines.
        ASSERT_EQ(read.warnings.list().size(), expected.warnings.list().size());
        for (std::size_t i = 0; i < read.warnings.list().size(); ++i)
            EXPECT_EQ(read.warnings.list()[i].at.line, expected.warnings.list()[i].at.line);
        EXPECT_EQ(read.warnings.list()[0].at.line, 20u);
    }
}

} // namespace
} // namespace quorvix
