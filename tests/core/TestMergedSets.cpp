// Several files' instruments as one set: every name and index follows its instrument, identical lists are
// kept once, lists that only share a name stay apart, and names of different encodings meet in UTF-8.

#include "formats/FormatTable.h"
#include "model/MergedSets.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace quorvix;

namespace {

InstrumentSet read(FileFormat format, const std::string& text)
{
    ReadResult result = formatRow(format)->read(text, "stem");
    EXPECT_TRUE(result.ok());
    return std::move(result.set);
}

/// Every voice of every instrument with its bank's name and its drum notes: what a writer takes of them.
std::string described(const InstrumentSet& set)
{
    std::string text;
    for (const Instrument& instrument : set.instruments) {
        text += "[" + set.utf8(instrument.name) + "]";
        for (const Bank& bank : instrument.banks) {
            text += " " + std::to_string(bank.number) + ":" + set.utf8(bank.name) + "{";
            if (const PatchList* list = set.patchListOf(bank))
                for (const Patch& patch : list->patches) {
                    text += std::to_string(patch.program) + "=" + set.utf8(patch.name);
                    if (const std::int32_t notes = set.drumNotesOf(instrument, patch); notes != kNoList)
                        text += "/" + set.utf8(set.noteLists[static_cast<std::size_t>(notes)].notes[0].name);
                    text += ";";
                }
            text += "}";
        }
        if (const ControlList* controls = set.controlListAt(instrument.controllers))
            text += " cc" + std::to_string(controls->controls[0].number) + "=" +
                    set.utf8(controls->controls[0].name);
        if (instrument.device >= 0)
            text += " @" + set.utf8(set.devices[static_cast<std::size_t>(instrument.device)].model);
        text += "\n";
    }
    return text;
}

const std::string kSynth = ".Patch Names\n[Piano]\n0=Grand\n1=Upright\n[Kits]\n0=Standard\n"
                           ".Note Names\n[Kit]\n36=Kick\n.Controller Names\n[CC]\n7=Volume\n"
                           ".Instrument Definitions\n[Synth]\nControl=CC\nPatch[0]=Piano\nPatch[1]=Kits\n"
                           "Key[1,0]=Kit\n";

TEST(MergedSets, EveryInstrumentKeepsItsNamesAndIdenticalListsAreKeptOnce)
{
    const std::string other = ".Patch Names\n[Piano]\n0=Electric\n.Instrument Definitions\n[Other]\n"
                              "Patch[5]=Piano\n";
    const std::string midnam = "<MIDINameDocument><MasterDeviceNames><Manufacturer>M</Manufacturer>"
                               "<Model>Box</Model><ChannelNameSet Name=\"Box\"><PatchBank Name=\"Main\">"
                               "<MIDICommands><ControlChange Control=\"0\" Value=\"0\"/></MIDICommands>"
                               "<PatchNameList><Patch Number=\"1\" Name=\"Lead\" ProgramChange=\"0\"/>"
                               "</PatchNameList></PatchBank></ChannelNameSet></MasterDeviceNames>"
                               "</MIDINameDocument>";
    std::vector<InstrumentSet> sets;
    sets.push_back(read(FileFormat::Ins, kSynth));
    sets.push_back(read(FileFormat::Ins, other));
    sets.push_back(read(FileFormat::Midnam, midnam));
    sets.push_back(read(FileFormat::Ins, kSynth));
    const std::string expected =
        described(sets[0]) + described(sets[1]) + described(sets[2]) + described(sets[3]);
    const std::size_t distinctLists =
        sets[0].patchLists.size() + sets[1].patchLists.size() + sets[2].patchLists.size();

    std::vector<std::size_t> first;
    const InstrumentSet merged = mergedSets(std::move(sets), &first);
    EXPECT_EQ(described(merged), expected);
    EXPECT_EQ(first, (std::vector<std::size_t>{0, 1, 2, 3}));
    EXPECT_EQ(merged.instruments[0].banks[0].patchList, merged.instruments[3].banks[0].patchList)
        << "the same list of the same name in two files is kept once";
    EXPECT_EQ(merged.instruments[0].controllers, merged.instruments[3].controllers);
    EXPECT_NE(merged.instruments[0].banks[0].patchList, merged.instruments[1].banks[0].patchList)
        << "lists that only share a name stay apart";
    EXPECT_EQ(merged.patchLists.size(), distinctLists) << "the fourth file's lists are all the first's";
}

TEST(MergedSets, NamesOfDifferentEncodingsAreAllUtf8)
{
    std::vector<InstrumentSet> sets;
    sets.push_back(read(FileFormat::Ins, ".Patch Names\n[B\xE4nke]\n0=Fl\xFCgel\n.Instrument Definitions\n"
                                         "[Caf\xE9]\nPatch[0]=B\xE4nke\n"));
    sets.push_back(read(FileFormat::Ins, ".Patch Names\n[P]\n0=Gr\xC3\xBC\xC3\x9F"
                                         "e\n"
                                         ".Instrument Definitions\n[\xC3\x9C"
                                         "ber]\nPatch[0]=P\n"));
    ASSERT_EQ(sets[0].encoding, TextEncoding::Windows1252);
    ASSERT_EQ(sets[1].encoding, TextEncoding::Utf8);
    const InstrumentSet merged = mergedSets(std::move(sets));
    EXPECT_EQ(merged.encoding, TextEncoding::Utf8);
    EXPECT_EQ(described(merged), "[Caf\xC3\xA9] 0:{0=Fl\xC3\xBCgel;}\n[\xC3\x9C"
                                 "ber] 0:{0=Gr\xC3\xBC\xC3\x9F"
                                 "e;}\n");
}

} // namespace
