// Names of another file added to instruments: the instrument's own names win, clashes are counted, lists
// that instruments shared stay shared, and drum notes go to the drum voices (or beside the patches when
// there are none).

#include "TestSupport.h"
#include "formats/FormatTable.h"
#include "formats/csv/CsvReader.h"
#include "model/AddedNames.h"

#include <gtest/gtest.h>
#include <string>

using namespace quorvix;

namespace {

ReadResult ins(const std::string& text)
{
    ReadResult read = formatRow(FileFormat::Ins)->read(text, "stem");
    EXPECT_TRUE(read.ok());
    return read;
}

std::string entries(const InstrumentSet& set, const std::vector<NameEntry>& list)
{
    std::string text;
    for (const NameEntry& entry : list)
        text += (text.empty() ? "" : ",") + std::to_string(entry.number) + "=" + set.utf8(entry.name);
    return text;
}

std::string controls(const InstrumentSet& set, std::int32_t list)
{
    return list < 0 ? "none" : entries(set, set.controlLists.at(static_cast<std::size_t>(list)).controls);
}

TEST(AddedNames, ControllerNamesFillTheNumbersAnInstrumentLeavesUnnamed)
{
    const ReadResult from =
        readCsv("device,type,number,name\nT,cc,7,Level\nT,cc,74,Filter\nT,nrpn,300,Drive\n"
                "T,rpn,0,Bend range\n",
                "stem");
    ASSERT_TRUE(from.ok());
    ASSERT_TRUE(holdsControlNames(from.set));
    ReadResult target = ins(".Controller Names\n[C]\n7=Volume\n1=Mod\n.RPN Names\n[R]\n0=Bend range\n"
                            ".Instrument Definitions\n[A]\nControl=C\nRPN=R\n[B]\nControl=C\nRPN=R\n[C]\n");
    InstrumentSet& set = target.set;
    const std::size_t chosen[] = {0, 1, 2};
    const NamesAdded added = addControlNames(set, chosen, from.set);
    EXPECT_EQ(added.clashes, 1u) << "controller 7, Volume in the list A and B share (once); the RPN agrees";
    for (const Instrument& instrument : set.instruments) {
        SCOPED_TRACE(set.utf8(instrument.name));
        const bool own = set.utf8(instrument.name) != "C";
        EXPECT_EQ(controls(set, instrument.controllers),
                  own ? "1=Mod,7=Volume,74=Filter" : "7=Level,74=Filter");
        EXPECT_EQ(controls(set, instrument.rpns), "0=Bend range");
        EXPECT_EQ(controls(set, instrument.nrpns), "300=Drive");
    }
    EXPECT_EQ(set.instruments[0].controllers, set.instruments[1].controllers) << "shared lists stay shared";
    EXPECT_NE(set.instruments[0].controllers, set.instruments[2].controllers);
}

TEST(AddedNames, ControllerNamesAreConvertedToTheSetsEncoding)
{
    const ReadResult from =
        readCsv("device,type,number,name\nT,cc,74,Fr\xC3\xA9quence \xE2\x86\x92\n", "stem");
    ReadResult target = ins(".Patch Names\n[P]\n0=Caf\xE9\n.Instrument Definitions\n[A]\nPatch[*]=P\n");
    ASSERT_EQ(target.set.encoding, TextEncoding::Windows1252);
    const std::size_t chosen[] = {0};
    const NamesAdded added = addControlNames(target.set, chosen, from.set);
    EXPECT_EQ(added.changed, 1u);
    EXPECT_EQ(target.set.text(target.set.controlLists.back().controls.at(0).name), "Fr\xE9quence ?");
}

TEST(AddedNames, DrumNotesGoToTheDrumVoicesOrBesideThePatches)
{
    const ReadResult from =
        readCsv("device,list,note,name\nT,Std,36,Bass Drum\nT,Std,37,Rim\nT,Room,36,Other\n", "stem");
    std::size_t lists = 0;
    const NoteList* notes = drumNotesOf(from.set, &lists);
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(from.set.utf8(notes->name), "Std");
    EXPECT_EQ(lists, 2u);

    ReadResult target = ins(".Patch Names\n[P]\n0=Piano\n1=Kit\n.Note Names\n[K]\n36=Kick\n"
                            ".Instrument Definitions\n[Drums]\nPatch[*]=P\nKey[*,1]=K\n"
                            "[Melodic]\nPatch[*]=P\n[Empty]\n");
    InstrumentSet& set = target.set;
    const std::size_t chosen[] = {0, 1, 2};
    const NamesAdded added = addDrumNotes(set, chosen, from.set, *notes);
    EXPECT_EQ(added.clashes, 1u) << "36 is Kick in the definition";
    ASSERT_EQ(added.withoutDrums, std::vector<std::size_t>{1});
    const Patch& kit = set.patchListOf(set.instruments[0].banks.at(0))->patches.at(1);
    EXPECT_EQ(entries(set, set.noteLists.at(static_cast<std::size_t>(kit.noteList)).notes), "36=Kick,37=Rim");
    const Instrument& melodic = set.instruments[1];
    EXPECT_EQ(melodic.noteList, kNoList);
    const Device& device = set.devices.at(static_cast<std::size_t>(melodic.device));
    ASSERT_EQ(device.spareNoteLists.size(), 1u);
    EXPECT_EQ(entries(set, set.noteLists.at(static_cast<std::size_t>(device.spareNoteLists[0])).notes),
              "36=Bass Drum,37=Rim");
    const Instrument& empty = set.instruments[2];
    ASSERT_NE(empty.noteList, kNoList);
    EXPECT_EQ(set.utf8(set.noteLists.at(static_cast<std::size_t>(empty.noteList)).name), "Std");
}

} // namespace
