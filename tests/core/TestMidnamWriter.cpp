// The MIDNAM writer: what a model becomes, what it warns about, that it streams, and that what it writes is
// valid against the DTD and reads back to the same names.

#include "MidnamSupport.h"
#include "formats/midnam/MidnamReader.h"
#include "formats/midnam/MidnamWriter.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace quorvix {
namespace {

using Names = std::vector<std::pair<int, std::string>>;

/// A set under construction, with one instrument.
struct Model
{
    InstrumentSet set;

    Instrument& instrument() { return set.instruments.back(); }
    std::int32_t patches(std::string_view name, const Names& patches,
                         std::vector<std::int32_t> noteLists = {})
    {
        PatchList list{set.keep(name), {}, {}};
        for (std::size_t i = 0; i < patches.size(); ++i)
            list.patches.push_back(Patch{set.keep(patches[i].second),
                                         static_cast<std::uint8_t>(patches[i].first),
                                         i < noteLists.size() ? noteLists[i] : kNoList});
        set.patchLists.push_back(std::move(list));
        return static_cast<std::int32_t>(set.patchLists.size() - 1);
    }
    std::vector<NameEntry> entries(const Names& names)
    {
        std::vector<NameEntry> out;
        for (const auto& [number, name] : names)
            out.push_back(NameEntry{static_cast<std::uint16_t>(number), set.keep(name)});
        return out;
    }
    std::int32_t notes(std::string_view name, const Names& notes)
    {
        set.noteLists.push_back(NoteList{set.keep(name), entries(notes)});
        return static_cast<std::int32_t>(set.noteLists.size() - 1);
    }
    std::int32_t controls(std::string_view name, ControlKind kind, const Names& controls)
    {
        set.controlLists.push_back(ControlList{set.keep(name), kind, entries(controls)});
        return static_cast<std::int32_t>(set.controlLists.size() - 1);
    }
    void bank(std::string_view name, BankSelect select, std::int32_t list, std::int32_t number = -1)
    {
        instrument().banks.push_back(
            Bank{number < 0 ? bankNumberOf(select) : number, select, set.keep(name), list});
    }
};

Model synth(std::string_view name, TextEncoding encoding = TextEncoding::Utf8)
{
    Model model;
    model.set.encoding = encoding;
    model.set.instruments.emplace_back().name = model.set.keep(name);
    return model;
}

struct WriteCase
{
    const char* title;
    std::function<Model()> model;
    MidnamOptions options;
    std::vector<std::string> fragments; ///< in this order
    std::vector<std::string> absent;
    std::vector<std::string> warnings;
    bool readsBack = true; ///< reads back to the same names
};

const BankSelect none{};

std::vector<WriteCase> writeCases()
{
    return {
        {"a bank: its select as MIDICommands, its patches, the device's manufacturer",
         [] {
             Model m = synth("Synth");
             m.set.devices.push_back(Device{m.set.keep("Acme"), m.set.keep("X"), {}, {}});
             m.instrument().device = 0;
             m.bank("Pianos", {1, 2, -1}, m.patches("Piano List", {{0, "Grand"}, {1, "Bright"}}));
             return m;
         },
         {"", "synth.ins", {"12/31/25", "23:59:58"}},
         {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE MIDINameDocument PUBLIC \"-//MIDI "
          "Manufacturers "
          "Association//DTD MIDINameDocument 1.0//EN\" \"http://www.midi.org/dtds/MIDINameDocument10.dtd\">\n"
          "<!-- Generated with Quorvix 12/31/25 23:59:58 from synth.ins -->\n<MIDINameDocument>\n"
          "  <Author>Quorvix</Author>\n  <MasterDeviceNames>\n    <Manufacturer>Acme</Manufacturer>\n"
          "    <Model>Synth</Model>\n    <CustomDeviceMode Name=\"Default\">\n      "
          "<ChannelNameSetAssignments>\n"
          "        <ChannelNameSetAssign Channel=\"1\" NameSet=\"Synth\"/>\n",
          "<ChannelNameSetAssign Channel=\"16\" NameSet=\"Synth\"/>", "<ChannelNameSet Name=\"Synth\">",
          "<AvailableChannel Channel=\"16\" Available=\"true\"/>",
          "<PatchBank Name=\"Pianos\">\n        <MIDICommands>\n          <ControlChange Control=\"0\" "
          "Value=\"1\"/>\n"
          "          <ControlChange Control=\"32\" Value=\"2\"/>\n        </MIDICommands>\n"
          "        <PatchNameList Name=\"Piano List\">\n"
          "          <Patch Number=\"0\" Name=\"Grand\" ProgramChange=\"0\"/>\n"
          "          <Patch Number=\"1\" Name=\"Bright\" ProgramChange=\"1\"/>\n        </PatchNameList>\n"
          "      </PatchBank>\n    </ChannelNameSet>\n  </MasterDeviceNames>\n</MIDINameDocument>\n"},
         {},
         {}},
        {"a list is shared only by banks of one bank select, as Ardour gives a shared list's patches one "
         "bank; list names are made unique; the option's manufacturer",
         [] {
             Model m = synth("Synth");
             const std::int32_t shared = m.patches("Same", {{0, "A"}});
             m.bank("B1", {0, -1, -1}, shared);
             m.bank("B1 again", {0, -1, -1}, shared);
             m.bank("B2", {1, -1, -1}, shared);
             m.bank("B3", {2, -1, -1}, m.patches("Same", {{0, "B"}}));
             return m;
         },
         {"Roland", "", {}},
         {"<Manufacturer>Roland</Manufacturer>",
          "<PatchBank Name=\"B1\">\n        <MIDICommands>\n          <ControlChange Control=\"0\" "
          "Value=\"0\"/>\n"
          "        </MIDICommands>\n        <UsesPatchNameList Name=\"Same\"/>",
          "<PatchBank Name=\"B1 again\">", "<UsesPatchNameList Name=\"Same\"/>",
          "<PatchBank Name=\"B2\">\n        <MIDICommands>\n          <ControlChange Control=\"0\" "
          "Value=\"1\"/>\n        </MIDICommands>\n        <PatchNameList Name=\"Same (2)\">\n"
          "          <Patch Number=\"0\" Name=\"A\" ProgramChange=\"0\"/>",
          "<PatchBank Name=\"B3\">", "<PatchNameList Name=\"Same (3)\">",
          "</ChannelNameSet>\n    <PatchNameList Name=\"Same\">\n      <Patch Number=\"0\" Name=\"A\" "
          "ProgramChange=\"0\"/>\n    </PatchNameList>\n  </MasterDeviceNames>"},
         {},
         {}},
        {"bank names from the list, else Bank N; banks selected by program change; a bank that selects "
         "nothing",
         [] {
             Model m = synth("Synth");
             m.instrument().method = BankSelectMethod::ProgramChange;
             m.bank("", {-1, -1, 124}, m.patches("Internal", {{3, "Lead"}}));
             m.bank("", none, m.patches("", {}));
             m.bank("", none, kNoList, 3);
             return m;
         },
         {},
         {"<Manufacturer>Generic</Manufacturer>",
          "<PatchBank Name=\"Internal\">\n        <MIDICommands>\n          <ProgramChange Number=\"124\"/>\n"
          "        </MIDICommands>",
          "<PatchBank Name=\"Bank 0\">\n        <PatchNameList/>\n      </PatchBank>",
          "<PatchBank Name=\"Bank 3\">\n        <MIDICommands>\n          <ProgramChange Number=\"103\"/>\n"
          "        </MIDICommands>\n        <PatchNameList/>"},
         {},
         {"banks \"Internal\", \"Bank 3\" are selected with a program change, which Ardour does not send: it "
          "selects banks by CC0 and CC32 only"},
         false},
        {"Windows-1252 names become UTF-8; markup characters are escaped; what XML cannot hold is left out",
         [] {
             Model m = synth("Caf\xE9 <1>", TextEncoding::Windows1252);
             m.bank("Tab\there", none, m.patches("", {{0, "A&B \"q\" \x01x"}}));
             return m;
         },
         {"", "na\xC3\xAFve\x01--file-", {"01/02/26", "03:04:05"}},
         {"<!-- Generated with Quorvix 01/02/26 03:04:05 from na\xC3\xAFve- -file-  -->",
          "<Model>Caf\xC3\xA9 &lt;1&gt;</Model>", "NameSet=\"Caf\xC3\xA9 &lt;1&gt;\"/>",
          "<PatchBank Name=\"Tab&#9;here\">",
          "<Patch Number=\"0\" Name=\"A&amp;B &quot;q&quot; x\" ProgramChange=\"0\"/>"},
         {},
         {"names held characters that XML cannot hold; they were left out"},
         false},
        {"note lists of the instrument and of patches, an empty one left out; controls as one list, "
         "controllers before RPNs and NRPNs (Ardour keeps the first entry of a number)",
         [] {
             Model m = synth("Kit");
             const std::int32_t drums = m.notes("Drums", {{36, "Kick"}, {38, "Snare"}});
             const std::int32_t empty = m.notes("Empty", {});
             const std::int32_t unnamed = m.notes("", {{40, "Tom"}});
             m.instrument().noteList = drums;
             m.bank("Kits", none,
                    m.patches("", {{0, "Std"}, {1, "Room"}, {2, "Void"}}, {kNoList, unnamed, empty}));
             m.instrument().controllers = m.controls("Std", ControlKind::Controller, {{7, "Volume"}});
             m.instrument().rpns = m.controls("Std (RPN)", ControlKind::Rpn, {{0, "Bend"}, {7, "Shadowed"}});
             m.instrument().nrpns = m.controls("Std (NRPN)", ControlKind::Nrpn, {{300, "Cutoff"}});
             return m;
         },
         {},
         {"</AvailableForChannels>\n      <UsesNoteNameList Name=\"Drums\"/>\n"
          "      <UsesControlNameList Name=\"Std\"/>\n      <PatchBank Name=\"Kits\">",
          "<Patch Number=\"0\" Name=\"Std\" ProgramChange=\"0\"/>\n"
          "          <Patch Number=\"1\" Name=\"Room\" ProgramChange=\"1\">\n"
          "            <UsesNoteNameList Name=\"Notes\"/>\n          </Patch>\n"
          "          <Patch Number=\"2\" Name=\"Void\" ProgramChange=\"2\"/>",
          "<NoteNameList Name=\"Drums\">\n      <Note Number=\"36\" Name=\"Kick\"/>\n"
          "      <Note Number=\"38\" Name=\"Snare\"/>\n    </NoteNameList>\n    <NoteNameList "
          "Name=\"Notes\">",
          "<ControlNameList Name=\"Std\">\n      <Control Type=\"7bit\" Number=\"7\" Name=\"Volume\"/>\n"
          "      <Control Type=\"RPN\" Number=\"0\" Name=\"Bend\"/>\n"
          "      <Control Type=\"RPN\" Number=\"7\" Name=\"Shadowed\"/>\n"
          "      <Control Type=\"NRPN\" Number=\"300\" Name=\"Cutoff\"/>\n    </ControlNameList>"},
         {"Empty"},
         {"1 RPN name is written as MIDNAM RPN controls, which Ardour shows as the names of the unnamed "
          "controllers of the same numbers"}},
        {"numbers out of range are left out with a warning",
         [] {
             Model m = synth("Synth");
             m.instrument().noteList = m.notes("Drums", {{140, "High"}, {36, "Kick"}});
             m.instrument().controllers =
                 m.controls("Fine", ControlKind::Controller14, {{1, "Mod"}, {40, "Bad"}});
             m.bank("B", {200, 3, -1}, m.patches("", {{0, "A"}, {130, "B"}}));
             return m;
         },
         {},
         {"<MIDICommands>\n          <ControlChange Control=\"32\" Value=\"3\"/>\n        </MIDICommands>",
          "<Patch Number=\"0\" Name=\"A\" ProgramChange=\"0\"/>\n        </PatchNameList>",
          "<NoteNameList Name=\"Drums\">\n      <Note Number=\"36\" Name=\"Kick\"/>\n    </NoteNameList>",
          "<Control Type=\"14bit\" Number=\"1\" Name=\"Mod\"/>\n    </ControlNameList>"},
         {},
         {"bank \"B\": bank select MSB 200 is not from 0 to 127; left out",
          "patch \"B\": program 130 is not from 0 to 127; left out",
          "note 140 is not from 0 to 127; left out", "14bit control 40 is not from 0 to 31; left out"},
         false},
        {"a model of a document Ardour installs is named",
         [] {
             Model m = synth("01/W");
             m.bank("B", none, m.patches("", {{0, "A"}}));
             return m;
         },
         {},
         {"<Model>01/W</Model>"},
         {},
         {"model \"01/W\" is the model of a document Ardour installs: Ardour keeps the one of the two files "
          "it "
          "loads first and ignores the other"},
         false},
        {"an instrument without banks gets an empty one",
         [] { return synth(""); },
         {},
         {"<Model>Instrument</Model>",
          "<PatchBank Name=\"Bank 0\">\n        <PatchNameList/>\n      </PatchBank>"},
         {},
         {"instrument \"Instrument\" has no banks; an empty one is written, as MIDNAM needs one"},
         false},
    };
}

std::string write(const Model& model, const MidnamOptions& options, Diagnostics& warnings)
{
    StringSink sink;
    writeMidnam(model.set, model.set.instruments.front(), options, sink, warnings);
    return sink.text;
}

TEST(MidnamWriter, WritesTheModelAsMidnam)
{
    for (const WriteCase& c : writeCases()) {
        SCOPED_TRACE(c.title);
        const Model model = c.model();
        Diagnostics warnings;
        const std::string text = write(model, c.options, warnings);
        std::size_t from = 0;
        for (const std::string& fragment : c.fragments) {
            const auto at = text.find(fragment, from);
            ASSERT_NE(at, std::string::npos) << "missing, or out of order:\n" << fragment << "\nin\n" << text;
            from = at + fragment.size();
        }
        for (const std::string& fragment : c.absent)
            EXPECT_EQ(text.find(fragment), std::string::npos) << fragment;
        std::vector<std::string> messages;
        for (const Diagnostic& warning : warnings.list())
            messages.push_back(warning.message);
        EXPECT_EQ(messages, c.warnings);
        EXPECT_EQ(text.find('\r'), std::string::npos);

        const ReadResult back = readMidnam(text);
        ASSERT_TRUE(back.ok()) << back.error->message;
        ASSERT_EQ(back.set.instruments.size(), 1u);
        if (c.readsBack) {
            EXPECT_EQ(test::namesOf(back.set, back.set.instruments[0]),
                      test::namesOf(model.set, model.set.instruments[0]));
        }
    }
}

TEST(MidnamWriter, WrittenDocumentsAreValidAgainstTheDtd)
{
    QUORVIX_REQUIRE_MIDNAM_DTD();
    std::vector<std::string> documents;
    for (const WriteCase& c : writeCases()) {
        Diagnostics warnings;
        documents.push_back(write(c.model(), c.options, warnings));
    }
    EXPECT_EQ(test::midnamDtdErrors(documents), "");
}

/// Counts what arrives, keeping only the size of the largest write.
class CountingSink final : public OutputSink
{
public:
    void write(std::string_view bytes) override
    {
        total += bytes.size();
        largest = std::max(largest, bytes.size());
        ++writes;
    }
    std::size_t total = 0;
    std::size_t largest = 0;
    std::size_t writes = 0;
};

TEST(MidnamWriter, StreamsInBlocksWithoutHoldingTheDocument)
{
    Model model = synth("Big");
    const std::string name(200, 'n');
    for (int bank = 0; bank < 100; ++bank) {
        Names patches;
        for (int program = 0; program < 128; ++program)
            patches.emplace_back(program, name);
        model.bank("", {static_cast<std::int16_t>(bank), -1, -1}, model.patches("", patches));
    }
    CountingSink sink;
    Diagnostics warnings;
    writeMidnam(model.set, model.instrument(), {}, sink, warnings);
    EXPECT_GT(sink.total, 100u * 128 * name.size());
    EXPECT_GT(sink.writes, 20u);
    EXPECT_LT(sink.largest, 128u * 1024);
}

TEST(MidnamWriter, NamesLongerThanABlockArriveWhole)
{
    const std::string plain(70000, 'p');
    const std::string marked = std::string(40000, 'a') + "&<\"" + std::string(40000, 'b');
    const std::string escaped = std::string(40000, 'a') + "&amp;&lt;&quot;" + std::string(40000, 'b');
    Model model = synth("Long");
    model.bank(plain, none, model.patches("", {{0, plain}, {1, marked}}));
    StringSink sink;
    Diagnostics warnings;
    writeMidnam(model.set, model.instrument(), {}, sink, warnings);
    EXPECT_NE(sink.text.find("<PatchBank Name=\"" + plain + "\">"), std::string::npos);
    EXPECT_NE(sink.text.find("<Patch Number=\"0\" Name=\"" + plain + "\" ProgramChange=\"0\"/>"),
              std::string::npos);
    EXPECT_NE(sink.text.find("<Patch Number=\"1\" Name=\"" + escaped + "\" ProgramChange=\"1\"/>"),
              std::string::npos);
    EXPECT_NE(sink.text.find("</MIDINameDocument>\n"), std::string::npos);
}

/// What of a device a sequencer finds it by and shows: models, name sets with their channels, the channel
/// assignments of its modes, patch labels.
std::string deviceOf(const ReadResult& read)
{
    const InstrumentSet& set = read.set;
    std::string out;
    for (const Device& device : set.devices) {
        out += std::to_string(device.spareNoteLists.size()) + " spare note lists, models " +
               std::string(set.text(device.model));
        for (const TextRef more : device.moreModels)
            out += ", " + std::string(set.text(more));
        for (const DeviceMode& mode : device.modes) {
            out += "\nmode " + std::string(set.text(mode.name)) + ":";
            for (const TextRef nameSet : mode.nameSets)
                out += " " + std::string(set.text(nameSet));
        }
        out += "\n";
    }
    for (const Instrument& instrument : set.instruments) {
        out += "name set " + std::string(set.text(instrument.nameSet)) + " channels " +
               std::to_string(instrument.channels) + ":";
        for (const Bank& bank : instrument.banks) {
            const PatchList& list = set.patchLists[static_cast<std::size_t>(bank.patchList)];
            for (std::size_t i = 0; i < list.labels.size(); ++i)
                out += " " + std::string(set.text(list.labels[i])) + "=" +
                       std::to_string(list.patches[i].program);
        }
        out += "\n";
    }
    return out;
}

TEST(MidnamWriter, WritesADeviceBackWithItsModelsNameSetsChannelsLabelsAndUnusedLists)
{
    std::string channels;
    for (int channel = 1; channel <= 16; ++channel)
        channels += "<ChannelNameSetAssign Channel=\"" + std::to_string(channel) + "\" NameSet=\"" +
                    (channel == 10 ? "Drums" : "Voices") + "\"/>";
    const std::string document =
        "<MIDINameDocument><Author/><MasterDeviceNames><Manufacturer>Acme</Manufacturer>"
        "<Model>ES6</Model><Model>ES7</Model><Model>ES8</Model>"
        "<CustomDeviceMode Name=\"Multi\"><ChannelNameSetAssignments>" +
        channels +
        "</ChannelNameSetAssignments></CustomDeviceMode>"
        "<ChannelNameSet Name=\"Voices\"><AvailableForChannels><AvailableChannel Channel=\"1\" "
        "Available=\"true\"/><AvailableChannel Channel=\"10\" Available=\"false\"/></AvailableForChannels>"
        "<PatchBank Name=\"A\"><MIDICommands><ControlChange Control=\"0\" Value=\"1\"/></MIDICommands>"
        "<PatchNameList><Patch Number=\"A00\" Name=\"Ephemerals\" ProgramChange=\"0\"/>"
        "<Patch Number=\"A01\" Name=\"Pad\" "
        "ProgramChange=\"1\"/></PatchNameList></PatchBank></ChannelNameSet>"
        "<ChannelNameSet Name=\"Drums\"><AvailableForChannels><AvailableChannel Channel=\"10\" "
        "Available=\"true\"/></AvailableForChannels><PatchBank Name=\"Kits\"><PatchNameList>"
        "<Patch Number=\"U 1-1\" Name=\"Std\" ProgramChange=\"0\"/></PatchNameList></PatchBank>"
        "</ChannelNameSet><NoteNameList Name=\"Spare Kit\"><Note Number=\"36\" Name=\"Kick\"/></NoteNameList>"
        "</MasterDeviceNames></MIDINameDocument>";
    const ReadResult read = readMidnam(document);
    ASSERT_TRUE(read.ok()) << read.error->message;
    const std::string expected =
        "1 spare note lists, models ES6, ES7, ES8\nmode Multi: Voices Voices Voices Voices Voices Voices "
        "Voices Voices Voices Drums Voices Voices Voices Voices Voices Voices\n"
        "name set Voices channels 1: A00=0 A01=1\nname set Drums channels 512: U 1-1=0\n";
    EXPECT_EQ(deviceOf(read), expected);
    ASSERT_EQ(midnamDocumentOf(read.set, 1), (std::vector<std::size_t>{0, 1}));

    StringSink written;
    Diagnostics warnings;
    writeMidnam(read.set, read.set.instruments[1], {}, written, warnings);
    EXPECT_TRUE(warnings.list().empty());
    const ReadResult back = readMidnam(written.text);
    ASSERT_TRUE(back.ok()) << back.error->message;
    EXPECT_EQ(deviceOf(back), expected);
    EXPECT_EQ(test::namesOf(back.set, back.set.instruments[0]),
              test::namesOf(read.set, read.set.instruments[0]));
    EXPECT_NE(written.text.find("<Patch Number=\"A00\" Name=\"Ephemerals\" ProgramChange=\"0\"/>"),
              std::string::npos);
}

} // namespace
} // namespace quorvix
