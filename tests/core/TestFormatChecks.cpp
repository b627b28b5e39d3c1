// The rules of the program that reads each format (check --for PROGRAM): for a file made to break them, every
// problem at its line and nothing more; a file that keeps them gives none.

#include "TestSupport.h"
#include "base/Gzip.h"
#include "formats/FormatTable.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quorvix {
namespace {

struct Case
{
    const char* name;
    const char* program;
    std::string text;
    /// "LINE: part of the message", one for each problem, in line order.
    std::vector<std::string> expected;
};

std::string fixture(const char* name)
{
    return test::readFile(test::dataDir() / name);
}

std::vector<std::string> problemsOf(const char* program, const std::string& bytes)
{
    const FormatRow* row = formatOfProgram(program);
    EXPECT_NE(row, nullptr) << program;
    Diagnostics problems;
    if (row != nullptr)
        row->check(bytes, problems);
    std::vector<std::string> shown;
    for (const Diagnostic& problem : problems.list())
        shown.push_back(std::to_string(problem.at.line) + ": " + problem.message);
    return shown;
}

void expectProblems(const Case& c)
{
    SCOPED_TRACE(c.name);
    const std::vector<std::string> found = problemsOf(c.program, c.text);
    std::string all;
    for (const std::string& problem : found)
        all += problem + "\n";
    ASSERT_EQ(found.size(), c.expected.size()) << all;
    for (std::size_t i = 0; i < found.size(); ++i) {
        const std::string& want = c.expected[i];
        const auto colon = want.find(": ");
        EXPECT_EQ(found[i].substr(0, colon + 2), want.substr(0, colon + 2)) << all;
        EXPECT_NE(found[i].find(want.substr(colon + 2)), std::string::npos) << want << "\n" << all;
    }
}

std::string midnam(const std::string& device, const char* author = "<Author>Me</Author>")
{
    return std::string("<?xml version=\"1.0\"?>\n<MIDINameDocument>\n") + author + "\n" + device +
           "</MIDINameDocument>\n";
}

TEST(FormatChecks, ArdourFindsWhatItRejectsMergesAndIgnores)
{
    const std::string mode = "<CustomDeviceMode Name=\"M\"/>\n";
    const Case cases[] = {
        {"fixture",
         "ardour",
         fixture("broken-ardour-faults.midnam"),
         {"3: no <Author>: Ardour rejects the document", "10: Channel \"17\" is outside 1 to 16",
          "17: Ardour ignores <ControlChange>", "19: UsesPatchNameList \"Missing\" names no PatchNameList",
          "23: a <Patch> without Name", "26: UsesNoteNameList \"Nowhere\"",
          "30: note 36 of list \"Kit\" is named again", "31: note \"128\"",
          "34: control 0 of Type \"rpn\" \"Bend range\": Ardour takes it for controller 0"}},
        {"a shared list of two bank numbers",
         "ardour",
         fixture("midnam-synth.midnam"),
         {"27: banks \"Preset\" (0) and \"User\" (1) share patch list \"Factory\"",
          "63: 1 NRPN name of list \"Controls\", from here on: Ardour leaves NRPN controls out"}},
        {"controls and a model Ardour installs",
         "ardour",
         midnam("<MasterDeviceNames><Manufacturer>A</Manufacturer><Model>Generic</Model>" + mode +
                "<ControlNameList Name=\"C\">\n<Control Type=\"7bit\" Number=\"6\" Name=\"Data\"/>\n"
                "<Control Type=\"RPN\" Number=\"6\" Name=\"Bend\"/>\n<Control Type=\"NRPN\" Number=\"9\" "
                "Name=\"N1\"/>\n<Control Type=\"NRPN\" Number=\"10\" Name=\"N2\"/>\n</ControlNameList>"
                "</MasterDeviceNames>\n"),
         {"4: model \"Generic\" is the model of a document Ardour installs",
          "7: control 6 of Type \"RPN\" \"Bend\": Ardour takes it for controller 6",
          "7: controller 6 is named again in list \"C\" (first on line 6): Ardour ignores it",
          "8: 2 NRPN names of list \"C\", from here on"}},
        {"merged devices and modes",
         "ardour",
         midnam(
             "<MasterDeviceNames><Manufacturer>A</Manufacturer><Model>X</Model>\n" + mode + mode +
             "</MasterDeviceNames>\n<MasterDeviceNames><Manufacturer>B</Manufacturer>\n<Model>X</Model>\n" +
             "</MasterDeviceNames>\n"),
         {"6: a second <CustomDeviceMode> (the first is on line 5)", "8: a second <MasterDeviceNames>",
          "8: a second <Manufacturer> (the first is on line 4)", "9: model \"X\" is named again"}},
        {"no mode, a model with markup",
         "ardour",
         midnam("<MasterDeviceNames><Manufacturer>A</Manufacturer>\n<Model>X<b/></Model>\n</"
                "MasterDeviceNames>\n"),
         {"4: no <CustomDeviceMode>", "5: <Model> is not one plain text"}},
        {"a list that is not a device's own",
         "ardour",
         midnam("<MasterDeviceNames><Manufacturer>A</Manufacturer><Model>X</Model>" + mode +
                "<ChannelNameSet Name=\"S\"><PatchBank Name=\"B\"><UsesPatchNameList Name=\"L\"/>\n"
                "<PatchNameList Name=\"L\"><Patch Name=\"P\" ProgramChange=\"0\"/></PatchNameList>"
                "</PatchBank>\n<PatchBank Name=\"Empty\"><UsesPatchNameList "
                "Name=\"E\"/></PatchBank></ChannelNameSet>"
                "<PatchNameList Name=\"E\"/></MasterDeviceNames>\n"),
         {"5: UsesPatchNameList \"L\" names no PatchNameList of <MasterDeviceNames>",
          "7: UsesPatchNameList \"E\" names no PatchNameList"}},
        {"no author, no manufacturer",
         "ardour",
         midnam("<MasterDeviceNames><Model>X</Model>" + mode + "</MasterDeviceNames>\n", ""),
         {"2: no <Author>", "4: no <Manufacturer>"}},
        {"lists for other files' devices",
         "ardour",
         midnam("<ExtendingDeviceNames><Manufacturer>A</Manufacturer><Model>Generic</Model></"
                "ExtendingDeviceNames>\n"
                "<ExtendingDeviceNames><Manufacturer>A</Manufacturer><Model>Generic</Model></"
                "ExtendingDeviceNames>\n"),
         {}},
        {"not well-formed",
         "ardour",
         "<MIDINameDocument>\n<Author>\n</MIDINameDocument>\n",
         {"3: Ardour cannot read the document: malformed XML"}},
    };
    for (const Case& c : cases)
        expectProblems(c);
}

TEST(FormatChecks, CakewalkFindsListsItCannotResolveAndNumbersOutOfRange)
{
    const Case cases[] = {
        {"fixture",
         "cakewalk",
         fixture("broken-cakewalk-faults.ins"),
         {"5: number 128 is out of range 0..127", "14: patch list \"Absent\" of Patch[1] is not defined",
          "15: bank \"20000\" of Patch[20000] is not a number from 0 to 16383",
          "16: note list \"Nowhere\" is not defined", "17: controller list \"No Controls\" is not defined"}},
        {"BasedOn cycles",
         "cakewalk",
         fixture("broken-basedon-cycle.ins"),
         {"9: patch list \"C\" is based on \"A\", which leads back to it",
          "12: patch list \"Me\" is based on \"Me\""}},
        {"no section",
         "cakewalk",
         "[Synth]\nPatch[0]=A\n",
         {"0: Cakewalk reads no instrument definitions from it"}},
        {"clean",
         "cakewalk",
         ".Patch Names\n[A]\n0=Piano\n.Instrument Definitions\n[Synth]\nPatch[0]=A\n",
         {}},
    };
    for (const Case& c : cases)
        expectProblems(c);
}

TEST(FormatChecks, CubaseFindsHeadersLevelsAndNumbersItDoesNotTake)
{
    const std::string header = "[cubase parse file]\n[parser version 0001]\n[define patchnames]\n[mode]M\n";
    const Case cases[] = {
        {"clean", "cubase", header + "[g1]G\n[p2, 0, 0, -1]A\n[p1, 127, 127, 0]B\n[end]\n", {}},
        {"header out of order",
         "cubase",
         "[parser version 0001]\n[cubase parse file]\n[define patchnames]\n[end]\n",
         {"1: the first line is not [cubase parse file]", "2: the second line is not [parser version 0001]"}},
        {"levels",
         "cubase",
         header + "[g2]Deep\n[p4, 0, 0, 0]Deeper\n[end]\n",
         {"5: group level 2 follows level 0", "6: an entry of level 4 under a group of level 2"}},
        {"numbers",
         "cubase",
         header + "[p1, 128, -2, 0]A\n[p1, 5]B\n[p1, 0, 0, 0]\n[end]\n",
         {"5: program \"128\" is outside 0 to 127", "5: MSB \"-2\" is outside -1 to 127",
          "6: an entry with 1 of its three numbers", "7: an entry without a name"}},
        {"order of the sections",
         "cubase",
         "[cubase parse file]\n[parser version 0001]\n[p1, 0, 0, 0]A\n[define patchnames]\n[drums]x\nname\n"
         "[p1, 0, 0, 0]Caf\xEF\xBF\xBD\n",
         {"3: a group or entry before [define patchnames]", "5: [drums] is no command",
          "6: a line that is no [command]", "7: holds U+FFFD", "7: no [end] after the last entry"}},
        {"after the end", "cubase", header + "[end]\n[p1, 0, 0, 0]A\n", {"6: a line after [end]"}},
    };
    for (const Case& c : cases)
        expectProblems(c);
}

TEST(FormatChecks, ReaperFindsTheLinesItSkips)
{
    const Case cases[] = {
        {"clean", "reaper", "// Synth\nBank 0 0 Voices\n0 Piano\n127 Last\n", {}},
        {"skipped lines",
         "reaper",
         "Bank 0 0 Voices\n128 Too high\nBank 200 0 Wrong\n0 Under a skipped bank\nwhat\n",
         {"2: program \"128\" is outside 0..127", "3: 200", "5: this line is neither a Bank line"}},
        {"no bank", "reaper", "// nothing\n", {"0: REAPER offers no bank of it"}},
    };
    for (const Case& c : cases)
        expectProblems(c);
}

std::string gzipped(const std::string& text)
{
    StringSink packed;
    GzipSink gzip(packed);
    gzip.write(text);
    gzip.finish();
    return packed.text;
}

TEST(FormatChecks, RosegardenFindsWhatItRefusesAndDrops)
{
    const std::string start = "<?xml version=\"1.0\"?>\n<rosegarden-data>\n<studio>\n";
    const std::string device = "<device id=\"0\" name=\"D\" type=\"midi\">\n";
    const std::string end = "</device>\n</studio>\n</rosegarden-data>\n";
    const std::string clean = start + device +
                              "<bank name=\"B\" msb=\"0\" lsb=\"1\">\n<program id=\"0\" "
                              "name=\"P\" keymapping=\"K\"/>\n</bank>\n<keymapping name=\"K\">"
                              "<key number=\"36\" name=\"Kick\"/></keymapping>\n" +
                              end;
    const Case cases[] = {
        {"clean", "rosegarden", clean, {}},
        {"clean, compressed", "rosegarden", gzipped(clean), {}},
        {"refused version",
         "rosegarden",
         "<rosegarden-data format-version-major=\"2\"/>\n",
         {"1: format-version-major 2 is above 1: Rosegarden refuses the file"}},
        {"devices it stops at",
         "rosegarden",
         "<rosegarden-data>\n<device name=\"D\" type=\"midi\">\n<control/>\n</device>\n<studio><device "
         "id=\"1\" "
         "type=\"synth\"/></studio>\n</rosegarden-data>\n",
         {"2: a <device> outside <studio>", "2: a <device> without id", "3: a <control> outside <controls>",
          "5: device type \"synth\""}},
        {"programs and keys",
         "rosegarden",
         start + device +
             "<bank msb=\"300\">\n<program id=\"5\" name=\"A\"/>\n<program id=\"5\" name=\"B\" "
             "keymapping=\"None\"/>\n</bank>\n<keymapping name=\"Empty\">\n<key number=\"36\"/>\n"
             "</keymapping>\n" +
             end,
         {"5: bank MSB 300 is outside 0 to 127: Rosegarden keeps it as the byte 44",
          "7: program 5 of bank MSB 44 LSB 0 is given again (first on line 6)",
          "7: keymapping \"None\" names no key mapping", "9: key mapping \"Empty\" holds no key",
          "10: a <key> without number or name"}},
        {"not well-formed",
         "rosegarden",
         start + "<device name=\"R&B\"/>\n",
         {"4: Rosegarden cannot read the file"}},
    };
    for (const Case& c : cases)
        expectProblems(c);
}

TEST(FormatChecks, MuseFindsWhatItIgnoresAndKeepsOtherwise)
{
    const std::string start = "<?xml version=\"1.0\"?>\n<muse version=\"1.0\">\n";
    const Case cases[] = {
        {"clean",
         "muse",
         start +
             "<MidiInstrument name=\"I\">\n<PatchGroup name=\"G\"><Patch name=\"P\" hbank=\"0\" prog=\"0\"/>"
             "<Patch name=\"Any\"/></PatchGroup>\n<Controller name=\"C\" type=\"NRPN\" h=\"1\" l=\"2\"/>\n"
             "</MidiInstrument>\n</muse>\n",
         {}},
        {"instruments and patches",
         "muse",
         start +
             "<MidiInstrument name=\"I\">\n<Patch name=\"A\" lbank=\"843\" prog=\"1\"/>\n<Patch name=\"B\" "
             "lbank=\"75\" prog=\"1\"/>\n<Controller name=\"X\" type=\"Sysex\"/>\n</MidiInstrument>\n"
             "<MidiInstrument name=\"I\"><Drummaps><entry><patch_collection prog=\"0-7\"/></entry></Drummaps>"
             "</MidiInstrument>\n</muse>\n",
         {"4: lbank 843 is outside 0 to 127: MusE keeps it as 75",
          "5: patch \"B\" has the numbers of the patch on line 4", "6: controller type \"Sysex\"",
          "8: instrument \"I\" is named again (first on line 3)", "8: MusE takes only its first program, 0"}},
        {"references, quotes and no root",
         "muse",
         "<?xml version=\"1.0\"?>\n<other>\n<x name=\"Caf&#233;\"/>\n<y name='It&apos;s' "
         "a=\"'\"/>\n</other>\n",
         {"0: no <muse> element", "3: a numeric character reference",
          "4: an attribute value in single quotes"}},
    };
    for (const Case& c : cases)
        expectProblems(c);
}

TEST(FormatChecks, HapaxNamesTheFirstLineItRefusesAsItsSyntaxError)
{
    std::string automation = "TRACKNAME Lanes\n[AUTOMATION]\n";
    for (int lane = 0; lane < 65; ++lane)
        automation += "CC:" + std::to_string(lane) + "\n";
    automation += "[/AUTOMATION]\n";
    const Case cases[] = {
        {"clean", "hapax", fixture("hapax-drums.txt"), {}},
        {"refused lines",
         "hapax",
         "VERSION 1\nTRACKNAME A&B\n[PC]\n0 Zero\n[/PC]\n",
         {"2: the Hapax shows \"syntax error line 2\" and loads nothing of the file",
          "4: PC \"0\" is not a number from 1 to 128: the Hapax refuses the file at this line"}},
        {"65 automation lanes",
         "hapax",
         automation,
         {"67: syntax error line 67\" and loads nothing of the file: a definition holds at most 64 "
          "automation lanes"}},
    };
    for (const Case& c : cases)
        expectProblems(c);
}

} // namespace
} // namespace quorvix
