// Rosegarden device files written from the model: Rosegarden's header and gzip container, the mapping of
// bank selects, drum kits and controllers, what is warned about, and banks Rosegarden cannot tell apart.

#include "TestSupport.h"
#include "base/Gzip.h"
#include "formats/FormatTable.h"
#include "formats/Formats.h"
#include "formats/rosegarden/RosegardenReader.h"
#include "formats/rosegarden/RosegardenWriter.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quorvix {
namespace {

struct Written
{
    std::string compressed;
    std::string xml;
    std::string warnings;
};

/// The device file written for the first instrument of `source` (of any format Quorvix reads).
Written toRosegarden(const std::string& source)
{
    const FormatRow* row = formatRow(detectFormat(source));
    EXPECT_NE(row, nullptr);
    const ReadResult read = row->read(source, "stem");
    EXPECT_TRUE(read.ok());
    Written written;
    StringSink out;
    Diagnostics warnings;
    writeRosegarden(read.set, read.set.instruments.at(0),
                    RosegardenOptions{"synth.ins", {"12/09/26", "10:00:00"}}, out, warnings);
    written.compressed = out.text;
    written.xml = gunzip(out.text, std::size_t{1} << 30, "1 GiB").bytes;
    for (const Diagnostic& d : warnings.list())
        written.warnings += d.message + "\n";
    return written;
}

const std::string kLists = ".Patch Names\n[P]\n0=Piano\n1=Strings & <Pads>\n"
                           ".Note Names\n[Kit]\n36=Kick\n38=Snare \"Tight\"\n"
                           ".Controller Names\n[C]\n7=Volume\n74=Cutoff\n"
                           ".RPN Names\n[R]\n0=Bend range\n"
                           ".Instrument Definitions\n[Synth]\n";

TEST(RosegardenWriter, MapsBankSelectsDrumKitsAndControllersAndSaysWhatRosegardenSendsDifferently)
{
    const struct
    {
        const char* what;
        std::string definition;
        std::vector<std::string> written; ///< parts of the XML
        std::string warning;              ///< a part of the warnings; empty: none
        std::string absent = {};          ///< what the XML must not hold
    } cases[] = {
        {"CC0 and CC32 are the bank's MSB and LSB",
         "Patch[258]=P\n",
         {"bankselecttype=\"0\"", "<bank name=\"P\" percussion=\"false\" msb=\"2\" lsb=\"2\">\n",
          "<program id=\"1\" name=\"Strings &amp; &lt;Pads&gt;\" />"},
         "",
         "<controls>"},
        {"an MSB alone gets CC32 0",
         "BankSelMethod=1\nPatch[256]=P\n",
         {"msb=\"2\" lsb=\"0\""},
         "\"Synth\": bank \"P\" sends CC0 alone; Rosegarden sends CC32 0 with it"},
        {"an LSB alone gets CC0 0",
         "BankSelMethod=2\nPatch[3]=P\n",
         {"msb=\"0\" lsb=\"3\""},
         "bank \"P\" sends CC32 alone; Rosegarden sends CC0 0 with it"},
        {"a program change 100 + n is bankselecttype 1",
         "BankSelMethod=3\nPatch[5]=P\n",
         {"bankselecttype=\"1\"", "msb=\"0\" lsb=\"105\""},
         ""},
        {"a program change beyond 127 cannot be sent",
         "BankSelMethod=3\nPatch[30]=P\n",
         {"msb=\"0\" lsb=\"0\""},
         "bank \"P\" is selected with a program change outside 100 to 127, which Rosegarden cannot send"},
        {"a bank whose programs all have drum names is a percussion bank",
         "Patch[0]=P\nKey[0,0]=Kit\nKey[0,1]=Kit\n",
         {"percussion=\"true\"", "<program id=\"0\" name=\"Piano\" keymapping=\"Kit\" />",
          "<keymapping name=\"Kit\">\n          <key number=\"36\" name=\"Kick\"/>\n"
          "          <key number=\"38\" name=\"Snare &quot;Tight&quot;\"/>\n        </keymapping>"},
         ""},
        {"one drum program does not make a percussion bank",
         "Patch[0]=P\nKey[0,1]=Kit\n",
         {"percussion=\"false\"", "<program id=\"0\" name=\"Piano\" />",
          "<program id=\"1\" name=\"Strings &amp; &lt;Pads&gt;\" keymapping=\"Kit\" />"},
         ""},
        {"controllers are controls with Rosegarden's settings of those it knows; RPNs are left out",
         "Patch[0]=P\nControl=C\nRPN=R\n",
         {"<controls>\n            <control name=\"Volume\" type=\"controller\" description=\"&lt;none&gt;\" "
          "min=\"0\" max=\"127\" default=\"100\" controllervalue=\"7\" colourindex=\"1\" "
          "ipbposition=\"2\"/>\n",
          "<control name=\"Cutoff\" type=\"controller\" description=\"&lt;none&gt;\" min=\"0\" max=\"127\" "
          "default=\"0\" controllervalue=\"74\" colourindex=\"0\" ipbposition=\"-1\"/>\n        </controls>"},
         "\"Synth\": 1 RPN name is left out: Rosegarden holds no RPN names"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Written written = toRosegarden(kLists + c.definition);
        for (const std::string& part : c.written)
            EXPECT_NE(written.xml.find(part), std::string::npos) << part << "\n" << written.xml;
        if (!c.absent.empty()) {
            EXPECT_EQ(written.xml.find(c.absent), std::string::npos);
        }
        if (c.warning.empty())
            EXPECT_EQ(written.warnings, "");
        else
            EXPECT_NE(written.warnings.find(c.warning), std::string::npos) << written.warnings;
    }
}

TEST(RosegardenWriter, WritesRosegardensHeaderInAGzipStreamThatIsTheSameOnEverySystem)
{
    const Written written = toRosegarden(kLists + "Patch[0]=P\n");
    ASSERT_GT(written.compressed.size(), 10u);
    EXPECT_EQ(written.compressed.substr(0, 8), std::string("\x1F\x8B\x08\x00\x00\x00\x00\x00", 8));
    EXPECT_EQ(static_cast<unsigned char>(written.compressed[9]), 255); // no system named
    EXPECT_TRUE(written.xml.starts_with(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE rosegarden-data>\n"
        "<rosegarden-data version=\"26.06\">\n<studio thrufilter=\"0\" recordfilter=\"0\">\n"
        "<!-- Generated with Quorvix 12/09/26 10:00:00 from synth.ins -->\n"));
    EXPECT_NE(written.xml.find("    <device id=\"0\" name=\"Synth\" direction=\"play\" variation=\"\" "
                               "connection=\"\" bankselecttype=\"0\" type=\"midi\">\n"),
              std::string::npos);
    EXPECT_TRUE(written.xml.ends_with("    </device>\n</studio>\n</rosegarden-data>\n"));
    EXPECT_TRUE(looksLikeRosegarden(written.compressed));
}

/// A MIDNAM name set with these PatchBanks (each "NAME:MSB:PROGRAM=PATCH[:NOTELIST]") and a note list "Kit".
std::string midnam(const std::vector<std::string>& banks)
{
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<MIDINameDocument><Author/><MasterDeviceNames>"
        "<Manufacturer>M</Manufacturer><Model>Synth</Model><ChannelNameSet Name=\"Synth\">"
        "<AvailableForChannels><AvailableChannel Channel=\"1\" Available=\"true\"/>"
        "</AvailableForChannels>";
    for (const std::string& bank : banks) {
        const auto part = [&](int n) {
            std::size_t at = 0;
            for (int i = 0; i < n; ++i)
                at = bank.find_first_of(":=", at) + 1;
            return bank.substr(at, bank.find_first_of(":=", at) - at);
        };
        text += "<PatchBank Name=\"" + part(0) + "\"><MIDICommands><ControlChange Control=\"0\" Value=\"" +
                part(1) +
                "\"/><ControlChange Control=\"32\" Value=\"0\"/></MIDICommands><PatchNameList>"
                "<Patch Number=\"" +
                part(2) + "\" Name=\"" + part(3) + "\" ProgramChange=\"" + part(2) + "\">" +
                (bank.ends_with(":Kit") ? "<UsesNoteNameList Name=\"Kit\"/>" : "") +
                "</Patch></PatchNameList></PatchBank>";
    }
    return text + "</ChannelNameSet><NoteNameList Name=\"Kit\"><Note Number=\"36\" Name=\"Kick\"/>"
                  "</NoteNameList></MasterDeviceNames></MIDINameDocument>\n";
}

TEST(RosegardenWriter, BanksRosegardenCannotTellApartAreMergedOrWrittenAsAFurtherDevice)
{
    const struct
    {
        const char* what;
        std::vector<std::string> banks;
        std::vector<std::string> written;
        std::string warning;
    } cases[] = {
        {"a drum kit and a melodic bank of one MSB and LSB are two banks",
         {"Tones:1:0=Piano", "Kits:1:0=Standard:Kit"},
         {"<bank name=\"Tones\" percussion=\"false\" msb=\"1\"",
          "<bank name=\"Kits\" percussion=\"true\" msb=\"1\""},
         ""},
        {"banks of one MSB and LSB that name other programs are one",
         {"Pianos:1:0=Piano", "Organs:1:16=Organ"},
         {"<bank name=\"Pianos\" percussion=\"false\" msb=\"1\" lsb=\"0\">\n            <program id=\"0\" "
          "name=\"Piano\" />\n            <program id=\"16\" name=\"Organ\" />\n        </bank>"},
         "\"Synth\": 1 bank selects the same MSB and LSB as an earlier bank and Rosegarden holds one bank of "
         "each, so their programs are written into it: \"Organs\" into \"Pianos\""},
        {"banks of one MSB and LSB that name the same program go to a further device",
         {"Mode A:1:0=Piano", "Mode B:1:0=Organ"},
         {"<device id=\"1\" name=\"Synth (Mode B)\"", "<program id=\"0\" name=\"Organ\" />"},
         "\"Synth\": banks \"Mode A\" and \"Mode B\" are both written as MSB 1 LSB 0 and name the same "
         "programs; "
         "\"Mode B\" is written in a further device, \"Synth (Mode B)\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Written written = toRosegarden(midnam(c.banks));
        for (const std::string& part : c.written)
            EXPECT_NE(written.xml.find(part), std::string::npos) << part << "\n" << written.xml;
        if (c.warning.empty())
            EXPECT_EQ(written.warnings, "");
        else
            EXPECT_NE(written.warnings.find(c.warning), std::string::npos) << written.warnings;
        const ReadResult back = readRosegarden(written.compressed);
        ASSERT_TRUE(back.ok());
        std::size_t voices = 0;
        for (const Instrument& instrument : back.set.instruments)
            voices += back.set.voiceCount(instrument);
        EXPECT_EQ(voices, c.banks.size());
    }
}

} // namespace
} // namespace quorvix
