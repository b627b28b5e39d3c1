// MusE instrument definitions both ways: the mapping of patches, bank bytes, drum maps and controllers as
// MusE reads them (files that are not well-formed XML included), and what the writer makes of the model.

#include "TestSupport.h"
#include "formats/FormatTable.h"
#include "formats/Formats.h"
#include "formats/muse/MuseReader.h"
#include "formats/muse/MuseWriter.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quorvix {
namespace {

std::string instrument(const std::string& body)
{
    return "<?xml version=\"1.0\"?>\n<muse version=\"1.0\">\n<MidiInstrument name=\"Synth\">\n" + body +
           "</MidiInstrument>\n</muse>\n";
}

/// "BANK:PROGRAM NAME [NOTES]" for every voice, then "CONTROLKIND:NUMBER NAME" for every control name.
std::vector<std::string> heldBy(const InstrumentSet& set)
{
    std::vector<std::string> out;
    for (const Instrument& held : set.instruments) {
        for (const Bank& bank : held.banks)
            for (const Patch& patch : set.patchListOf(bank)->patches) {
                std::string line = std::to_string(bank.number) + ":" + std::to_string(patch.program) + " " +
                                   std::string(set.text(patch.name));
                if (patch.noteList >= 0)
                    for (const NameEntry& note :
                         set.noteLists[static_cast<std::size_t>(patch.noteList)].notes)
                        line += " " + std::to_string(note.number) + "=" + std::string(set.text(note.name));
                out.push_back(line);
            }
        for (const std::int32_t list : {held.controllers, held.rpns, held.nrpns})
            if (list >= 0)
                for (const NameEntry& control : set.controlLists[static_cast<std::size_t>(list)].controls)
                    out.push_back("C" +
                                  std::to_string(static_cast<int>(
                                      set.controlLists[static_cast<std::size_t>(list)].kind)) +
                                  ":" + std::to_string(control.number) + " " +
                                  std::string(set.text(control.name)));
    }
    return out;
}

std::string warningsOf(const Diagnostics& warnings)
{
    std::string text;
    for (const Diagnostic& d : warnings.list())
        text += d.message + "\n";
    return text;
}

TEST(Muse, ReadsPatchesDrumMapsAndControllersAsMuseDoes)
{
    const struct
    {
        const char* what;
        std::string body;
        std::vector<std::string> held;
        const char* warning; ///< a part of the warnings; empty: none
        BankSelectMethod method = BankSelectMethod::Normal;
    } cases[] = {
        {"both bytes give the bank",
         "<PatchGroup name=\"Pads\"><Patch name=\"Pad\" hbank=\"1\" lbank=\"2\" prog=\"5\"/></PatchGroup>",
         {"130:5 Pad"},
         ""},
        {"patches that never give lbank are an MSB-only device",
         "<Patch name=\"A\" hbank=\"1\" prog=\"0\"/><Patch name=\"B\" hbank=\"2\" prog=\"0\"/>",
         {"128:0 A", "256:0 B"},
         "",
         BankSelectMethod::MsbOnly},
        {"a patch without a program stands for all of them",
         "<Patch name=\"Drums\" drum=\"1\"/>",
         {},
         "patch \"Drums\" has no program"},
        {"a byte beyond 127 is what MusE makes of it",
         "<Patch name=\"X\" hbank=\"0\" lbank=\"843\" prog=\"1\"/>",
         {"75:1 X"},
         "lbank \"843\" is no number from 0 to 127; MusE reads it as 75"},
        {"a program named again is kept in a further bank",
         "<Patch name=\"A\" hbank=\"0\" prog=\"0\"/><Patch name=\"B\" hbank=\"0\" prog=\"0\"/>",
         {"0:0 A", "0:0 B"},
         "patch \"B\" has the bank and program of patch \"A\"",
         BankSelectMethod::MsbOnly},
        {"a drum map's range names each of its programs",
         "<Patch name=\"K1\" hbank=\"127\" prog=\"0\" drum=\"1\"/><Patch name=\"K2\" hbank=\"127\" "
         "prog=\"7\" drum=\"1\"/>"
         "<Drummaps><entry><patch_collection hbank=\"127\" prog=\"0-7\"/><drummap><entry "
         "pitch=\"36\"><name>Kick</name>"
         "</entry></drummap></entry></Drummaps>",
         {"16256:0 K1 36=Kick", "16256:7 K2 36=Kick"},
         "although MusE gives it only to the first",
         BankSelectMethod::MsbOnly},
        {"a drum map without a collection is every drum patch's",
         "<Patch name=\"K\" prog=\"0\" drum=\"1\"/><Patch name=\"P\" "
         "prog=\"1\"/><Drummaps><entry><drummap><entry "
         "pitch=\"38\"><name>Snare &amp; Rim</name></entry></drummap></entry></Drummaps>",
         {"0:0 K 38=Snare & Rim", "0:1 P"},
         ""},
        {"controllers of every type MusE has",
         "<Patch name=\"P\" prog=\"0\"/><Controller name=\"Pan\" l=\"10\"/><Controller name=\"Mod\" "
         "type=\"Control14\" h=\"1\" "
         "l=\"33\"/><Controller name=\"Bend range\" type=\"RPN\" h=\"0\" l=\"0\"/><Controller name=\"Vib\" "
         "type=\"NRPN\" "
         "h=\"1\" l=\"8\"/><Controller name=\"Level\" type=\"NRPN\" h=\"26\" l=\"pitch\"/><Controller "
         "name=\"PB\" "
         "type=\"Pitch\"/><SysEx name=\"On\"><data>7e</data></SysEx>",
         {"0:0 P", "C0:10 Pan", "C2:0 Bend range", "C3:136 Vib"},
         "instrument \"Synth\": 1 SysEx or Init block is not carried"},
        {"a raw & is read as MusE reads it, with a warning",
         "<Patch name=\"Rock & Roll\" prog=\"3\"/>",
         {"0:3 Rock & Roll"},
         "the file is not well-formed XML"},
        {"a numeric reference, which MusE drops, is named",
         "<Patch name=\"Caf&#233;\" prog=\"3\"/>",
         {"0:3 Caf\xC3\xA9"},
         "numeric character references"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ReadResult read = readMuse(instrument(c.body));
        ASSERT_TRUE(read.ok()) << read.error->message;
        EXPECT_EQ(heldBy(read.set), c.held);
        EXPECT_EQ(read.set.instruments.at(0).method, c.method);
        const std::string warnings = warningsOf(read.warnings);
        if (std::string(c.warning).empty())
            EXPECT_EQ(warnings, "");
        else
            EXPECT_NE(warnings.find(c.warning), std::string::npos) << warnings;
    }
    const ReadResult both =
        readMuse(instrument("<Patch name=\"P\" prog=\"0\"/><Controller name=\"Pan\" l=\"10\"/>"
                            "<Controller name=\"Mod\" type=\"Control14\" h=\"1\" l=\"33\"/>"));
    EXPECT_NE(warningsOf(both.warnings)
                  .find("names both 7-bit and 14-bit controllers; the 14-bit ones are left out"),
              std::string::npos);
    EXPECT_EQ(both.set.controlLists.size(), 1u) << "no list of the left-out ones stays behind";
    EXPECT_EQ(detectFormat(instrument("")), FileFormat::Muse);
    EXPECT_EQ(readMuse("<x><y/></x>").error->message,
              "the file holds no <muse> element: this is no MusE instrument definition");
}

TEST(Muse, WritesTheXmlMuseReadsWithTheBankBytesItSends)
{
    const std::string lists =
        ".Patch Names\n[P]\n0=Piano & \"Grand\"\n1=Strings\tPad\n.Note Names\n[Kit]\n36=Kick\n"
        ".Controller Names\n[C]\n74=Cutoff\n.NRPN Names\n[N]\n136=Vibrato\n"
        ".Instrument Definitions\n[Synth]\n";
    const struct
    {
        const char* what;
        std::string definition;
        std::vector<std::string> written;
        const char* warning;
    } cases[] = {
        {"both bytes",
         "Patch[258]=P\n",
         {"<?xml version=\"1.0\"?>\n<muse version=\"1.0\">\n  <MidiInstrument name=\"Synth\">\n    "
          "<PatchGroup "
          "name=\"P\">\n      <Patch name=\"Piano &amp; &quot;Grand&quot;\" hbank=\"2\" lbank=\"2\" "
          "prog=\"0\" />\n"
          "      <Patch name=\"Strings Pad\" hbank=\"2\" lbank=\"2\" prog=\"1\" />"},
         ""},
        {"an MSB-only device sends no lbank",
         "BankSelMethod=1\nPatch[256]=P\n",
         {"hbank=\"2\" prog=\"0\" />"},
         ""},
        {"a program change is no bank select of MusE's",
         "BankSelMethod=3\nPatch[5]=P\n",
         {"hbank=\"0\" lbank=\"5\""},
         "\"Synth\": 1 bank is selected with a program change, which MusE does not send"},
        {"drum patches with a drum map each, controllers and NRPNs",
         "Patch[0]=P\nKey[0,0]=Kit\nControl=C\nNRPN=N\n",
         {"prog=\"0\" drum=\"1\" />", "<Controller name=\"Cutoff\" l=\"74\" />",
          "<Controller name=\"Vibrato\" type=\"NRPN\" h=\"1\" l=\"8\" />",
          "<Drummaps>\n      <entry>\n        <patch_collection hbank=\"0\" lbank=\"0\" prog=\"0\" />\n      "
          "  "
          "<drummap>\n          <entry pitch=\"36\"><name>Kick</name></entry>"},
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ReadResult read = readInstruments(lists + c.definition, FileFormat::Ins, "synth");
        StringSink out;
        Diagnostics warnings;
        writeMuse(read.set, read.set.instruments.at(0), out, warnings);
        for (const std::string& part : c.written)
            EXPECT_NE(out.text.find(part), std::string::npos) << part << "\n" << out.text;
        EXPECT_EQ(out.text.find("&#"), std::string::npos);
        const std::string text = warningsOf(warnings);
        if (std::string(c.warning).empty())
            EXPECT_EQ(text, "");
        else
            EXPECT_NE(text.find(c.warning), std::string::npos) << text;
        EXPECT_TRUE(readMuse(out.text).ok());
    }
}

TEST(Muse, EveryCorpusFileReadsEveryPatchThatHasAProgram)
{
    const auto corpus = test::corpusDir();
    if (!corpus)
        GTEST_SKIP() << "no corpus";
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(*corpus / "idf")) {
        if (entry.path().extension() != ".idf")
            continue;
        ++files;
        SCOPED_TRACE(entry.path().filename().string());
        const ReadResult read = readMuse(test::readFile(entry.path()));
        ASSERT_TRUE(read.ok()) << read.error->message;
        std::size_t voices = 0;
        for (const Instrument& held : read.set.instruments)
            voices += read.set.voiceCount(held);
        std::size_t programless = 0;
        for (const Diagnostic& d : read.warnings.list())
            programless += d.message.find("has no program") != std::string::npos ? 1 : 0;
        const std::string text = test::readFile(entry.path());
        std::size_t patches = 0;
        for (std::size_t at = text.find("<Patch "); at != std::string::npos;
             at = text.find("<Patch ", at + 1))
            ++patches;
        EXPECT_EQ(voices + programless, patches);
    }
    EXPECT_EQ(files, 28u);
}

} // namespace
} // namespace quorvix
