#include "TestSupport.h"
#include "formats/cubase/CubaseScriptWriter.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using quorvix::test::makeVoice;

using quorvix::ScriptGroup;
using quorvix::ScriptGroups;
using quorvix::ScriptSection;
using quorvix::VoiceClassifier;

namespace {

// A voice list with its written flags and cursor, as the main window holds them.
struct VoiceList
{
    explicit VoiceList(std::vector<ZT_cwbankvoice> list) : voices(std::move(list)), taken(voices.size(), 0) {}

    VoiceClassifier classifier()
    {
        return VoiceClassifier(voices.data(), static_cast<std::int32_t>(voices.size()), taken.data(), cursor);
    }

    std::vector<ZT_cwbankvoice> voices;
    std::vector<std::uint8_t> taken;
    std::int32_t cursor = 0;
};

} // namespace

TEST(VoiceClassifier, NextEntryLineWalksOneGroupInListOrderAndResetsTheCursor)
{
    VoiceList list({makeVoice(0, 0, "A"), makeVoice(5, 3, "skip: bank"), makeVoice(0, 8, "skip: program"),
                    makeVoice(1, 7, "B"), makeVoice(1, 7, "B again")});
    auto classifier = list.classifier();

    EXPECT_EQ(classifier.NextEntryLine("p3", 0, 7, 0, 1), "[p3,   0,   0,   0]\tA");
    EXPECT_EQ(list.cursor, 1);
    EXPECT_EQ(classifier.NextEntryLine("p3", 0, 7, 0, 1), "[p3,   7,   0,   1]\tB");
    EXPECT_EQ(list.cursor, 4);
    EXPECT_EQ(classifier.NextEntryLine("p3", 0, 7, 0, 1), "[p3,   7,   0,   1]\tB again")
        << "two voices with equal numbers are both written";
    EXPECT_EQ(list.cursor, 5);
    EXPECT_EQ(classifier.NextEntryLine("p3", 0, 7, 0, 1), "");
    EXPECT_EQ(list.cursor, 0) << "the end of the list brings the cursor back to the first voice";
    EXPECT_EQ(list.taken, (std::vector<std::uint8_t>{1, 0, 0, 1, 1}));

    // A written voice is never taken again, by this group or any other.
    EXPECT_EQ(classifier.NextEntryLine("p2", 0, 127, 0, 16383), "[p2,   3,   0,   5]\tskip  bank");
    EXPECT_EQ(classifier.NextEntryLine("p2", 0, 127, 0, 16383), "[p2,   8,   0,   0]\tskip  program");
    EXPECT_EQ(classifier.NextEntryLine("p2", 0, 127, 0, 16383), "");
    EXPECT_EQ(list.taken, (std::vector<std::uint8_t>(5, 1)));
}

TEST(VoiceClassifier, BoundsAreInclusiveAndSigned)
{
    struct Case
    {
        std::int32_t bank, program;
        bool taken;
    };
    // Group: programs 8 to 15, banks -3 to 101.
    const std::vector<Case> cases = {
        {-3, 8, true}, {101, 15, true}, {-4, 8, false}, {102, 8, false},
        {0, 7, false}, {0, 16, false},  {-1, 12, true}, {0, -8, false},
    };
    for (const auto& c : cases) {
        VoiceList list({makeVoice(c.bank, c.program)});
        auto classifier = list.classifier();
        EXPECT_EQ(!classifier.NextEntryLine("p3", 8, 15, -3, 101).empty(), c.taken)
            << "bank " << c.bank << ", program " << c.program;
    }
}

TEST(VoiceClassifier, EmptyListAndCursorAtTheEndYieldNothing)
{
    VoiceList empty({});
    auto none = empty.classifier();
    EXPECT_EQ(none.NextEntryLine("p2", 0, 127, 0, 16383), "");
    EXPECT_EQ(empty.cursor, 0);
    EXPECT_FALSE(none.HasDrumKitVoices());
    EXPECT_FALSE(none.HasXgVoices());
    EXPECT_FALSE(none.HasPanelVoices());
    EXPECT_FALSE(none.HasGm2Voices());

    VoiceList list({makeVoice(0, 0), makeVoice(0, 1)});
    list.cursor = 2;
    auto classifier = list.classifier();
    EXPECT_EQ(classifier.NextEntryLine("p3", 0, 127, 0, 0), "")
        << "a cursor at the end ends the scan at once";
    EXPECT_EQ(list.cursor, 0);
    EXPECT_EQ(list.taken, (std::vector<std::uint8_t>{0, 0}));
}

TEST(VoiceClassifier, SectionTestsLookAtUnwrittenBanksOnly)
{
    struct Case
    {
        std::int32_t bank;
        bool drum, xg, panel, gm2;
    };
    const std::vector<Case> cases = {
        {16256, true, false, false, false},
        {16128, true, false, false, false},
        {15360, true, false, false, false},
        {16255, false, false, false, false},
        {15361, false, false, false, false},
        {0, false, true, false, false},
        {101, false, true, false, false},
        {-5, false, true, false, false},
        {-2147483647 - 1, false, true, false, false},
        {102, false, false, false, false},
        {103, false, false, false, false},
        {104, false, false, false, false},
        {105, false, false, true, false},
        {127, false, false, true, false},
        {128, false, false, false, false},
        {8192, false, false, false, false},
        {1024, false, false, false, false},
        {15487, false, false, false, false},
        {15488, false, false, false, true},
        {15497, false, false, false, true},
        {15498, false, false, false, false},
        {16383, false, false, false, false},
        {20000, false, false, false, false},
    };
    for (const auto& c : cases) {
        // The program number plays no part.
        VoiceList list({makeVoice(c.bank, 500)});
        auto classifier = list.classifier();
        EXPECT_EQ(classifier.HasDrumKitVoices(), c.drum) << "bank " << c.bank;
        EXPECT_EQ(classifier.HasXgVoices(), c.xg) << "bank " << c.bank;
        EXPECT_EQ(classifier.HasPanelVoices(), c.panel) << "bank " << c.bank;
        EXPECT_EQ(classifier.HasGm2Voices(), c.gm2) << "bank " << c.bank;

        list.taken[0] = 1;
        auto written = list.classifier();
        EXPECT_FALSE(written.HasDrumKitVoices() || written.HasXgVoices() || written.HasPanelVoices() ||
                     written.HasGm2Voices())
            << "a written voice counts for no section, bank " << c.bank;
    }

    VoiceList later({makeVoice(5000, 0), makeVoice(5001, 0), makeVoice(110, 0)});
    EXPECT_TRUE(later.classifier().HasPanelVoices())
        << "the test looks at the whole list, not only its start";
}

TEST(VoiceClassifier, GroupTableHasFiftyFiveGroupsInSectionOrder)
{
    const auto groups = ScriptGroups();
    ASSERT_EQ(groups.size(), 55u);

    const std::vector<std::pair<ScriptSection, std::size_t>> sections = {{ScriptSection::DrumKits, 3},
                                                                         {ScriptSection::Xg, 17},
                                                                         {ScriptSection::Panel, 18},
                                                                         {ScriptSection::Gm2, 16},
                                                                         {ScriptSection::Other, 1}};
    std::size_t at = 0;
    for (const auto& [section, count] : sections) {
        for (std::size_t i = 0; i < count; ++i, ++at)
            EXPECT_EQ(groups[at].section, section) << "group " << at;
    }

    const auto& families = quorvix::test::kVoiceFamilies;
    for (const std::size_t first : {3u, 20u, 38u}) {
        for (int f = 0; f < 16; ++f) {
            const ScriptGroup& group = groups[first + static_cast<std::size_t>(f)];
            EXPECT_EQ(std::string(group.heading), std::string("[g2]\t\t") + families[f]);
            EXPECT_EQ(group.programLow, f * 8);
            EXPECT_EQ(group.programHigh, f * 8 + 7);
        }
    }
    EXPECT_EQ(std::string(groups[0].heading), "[g2]\t\tXG Drumkits");
    EXPECT_EQ(std::string(groups[1].heading), "[g2]\t\tXG SFX and Drums");
    EXPECT_EQ(std::string(groups[2].heading), "[g2]\t\tGM2 SFX and Drums");
    EXPECT_EQ(std::string(groups[19].heading), "[g2]\t\tXG SFX");
    EXPECT_EQ(std::string(groups[36].heading), "[g2]\t\tMega Voice");
    EXPECT_EQ(std::string(groups[37].heading), "[g2]\t\tArticulation Voice");
    EXPECT_EQ(std::string(groups[54].heading), "[g1]\tOther Voices");
    EXPECT_EQ((std::vector<std::int32_t>{groups[20].bankLow, groups[20].bankHigh, groups[38].bankLow,
                                         groups[38].bankHigh, groups[36].bankLow, groups[36].bankHigh,
                                         groups[37].bankLow, groups[37].bankHigh, groups[54].bankLow,
                                         groups[54].bankHigh}),
              (std::vector<std::int32_t>{105, 127, 15488, 15497, 1024, 1026, 1056, 1062, 0, 16383}));

    for (std::size_t i = 0; i < groups.size(); ++i)
        EXPECT_EQ(std::string(groups[i].tag), i == 54 ? "p2" : "p3") << "group " << i;

    // No two of the first 54 groups share a bank and program pair.
    for (std::size_t a = 0; a < 54; ++a) {
        for (std::size_t b = a + 1; b < 54; ++b) {
            const bool banks =
                groups[a].bankLow <= groups[b].bankHigh && groups[b].bankLow <= groups[a].bankHigh;
            const bool programs = groups[a].programLow <= groups[b].programHigh &&
                                  groups[b].programLow <= groups[a].programHigh;
            EXPECT_FALSE(banks && programs) << "groups " << a << " and " << b << " overlap";
        }
    }
}
