#include "TestSupport.h"
#include "base/PathText.h"
#include "formats/ins/InsReader.h"
#include "legacy/ZT_midifile.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using quorvix::InsFile;
using quorvix::textFromPath;

namespace {

struct Voice
{
    std::size_t definition;
    std::int32_t bank;
    std::int32_t program;
    std::string name;
};

struct CorpusCase
{
    std::string file;
    std::vector<std::string> names;
    std::vector<std::size_t> counts;
    std::vector<Voice> voices;         // checked by hand against the file
    std::vector<std::string> warnings; // "LINE: MESSAGE", each must be present
    std::size_t warningCount;
};

std::string findName(InsFile& file, const Voice& v)
{
    for (const auto& voice : file.voices(v.definition)) {
        if (voice.bank == v.bank && voice.program == v.program)
            return std::string(voice.name);
    }
    return "<no voice>";
}

const std::vector<CorpusCase>& cases()
{
    static const std::vector<CorpusCase> table = {
        {"Standard1.ins",
         {"General MIDI", "General MIDI Drums", "Roland GS", "Roland GS Drumsets", "Yamaha XG",
          "Yamaha XG Drum Kits"},
         {128, 128, 226, 9, 545, 11},
         {{0, 0, 0, "Acoustic Grand Piano"}, {1, 0, 0, "1"}, {1, 0, 127, "128"}},
         {},
         0},
        {"qs_7.ins",
         {"Alesis QS7"},
         {640},
         {{0, 0, 0, "PureStereo"},
          {0, 0, 3, "Pianooohs"},
          {0, 128, 0, "TrueStereo"},
          {0, 512, 3, "Honky-tonk Piano"}},
         {},
         0},
        {"KORG_KROME.ins",
         {"KORG KROME", "KORG KROME Drumsets"},
         {1168, 1168},
         {{0, 15489, 120, "Bass String Slap"}, {1, 15489, 120, "Bass String Slap"}},
         {"4739: note list \"KORG KROME Velo.Pitch Kit\" is not defined"},
         9},
        {"YamahaRefSynth.ins",
         {"Tyros5 Synth"},
         {2056},
         {{0, 112, 0, "Live! GrandPiano"}},
         {"2448: patch list \"Live!DrumsStandardKit1\" is based on \"Standard Kit 1\", which is not defined"},
         63},
        {"MSGS.ins",
         {"Microsoft GS Wavetable Synth", "Microsoft GS Wavetable Synth Drumsets"},
         {226, 9},
         {},
         {"556: RPN list \"Standard\" is not defined", "577: RPN list \"Standard\" is not defined"},
         2},
        {"GM2.ins",
         {"GM2"},
         {128},
         {},
         {"301: patch list \"Drums+Sfx Kits\" of Patch[15360] is not defined",
          "302: patch list \"Bank 0\" of Patch[15488] is not defined"},
         11},
        {"Roland_SC-8850.ins",
         {"Roland SC-8850", "Roland SC-8850 Drumsets"},
         {4134, 123},
         {{1, 0, 0, "STANDARD 1"}, {1, 0, 1, "STANDARD 2 [Pro]"}},
         {},
         1},
        {"MU1000_MU2000.ins",
         {"YAMAHA MU1000/MU2000", "YAMAHA MU1000/MU2000 Drumsets", "YAMAHA MU2000 Sampling Voice",
          "YAMAHA MU2000 Sampling Kit"},
         {1448, 168, 256, 132},
         {},
         {"5738: patch list \"1\" of Patch[*] is not defined"},
         2},
        {"JJazzLabSoundFontSynth_GS.ins", {"JJazzLab SoundFont (GS)"}, {177}, {}, {}, 0},
    };
    return table;
}

TEST(InsCorpus, DefinitionsVoicesAndWarningsMatchTheFiles)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    for (const auto& c : cases()) {
        SCOPED_TRACE(c.file);
        InsFile file;
        ASSERT_TRUE(file.load(textFromPath(corpus / "ins" / c.file))) << file.error();
        std::vector<std::string> names;
        std::vector<std::size_t> counts;
        for (std::size_t i = 0; i < file.definitionCount(); ++i) {
            names.emplace_back(file.definitionName(i));
            counts.push_back(file.voices(i).size());
        }
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(counts, c.counts);
        for (const auto& voice : c.voices)
            EXPECT_EQ(findName(file, voice), voice.name) << voice.bank << ":" << voice.program;
        std::vector<std::string> warnings;
        for (const auto& w : file.warnings())
            warnings.push_back(std::to_string(w.line) + ": " + w.message);
        for (const auto& expected : c.warnings)
            EXPECT_NE(std::find(warnings.begin(), warnings.end(), expected), warnings.end()) << expected;
        EXPECT_EQ(warnings.size(), c.warningCount);
    }
}

TEST(InsCorpus, EveryFileLoadsThroughTheLibraryWithSoundVoices)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus / "ins")) {
        if (!entry.is_regular_file() || entry.path().extension() != ".ins")
            continue;
        ++files;
        SCOPED_TRACE(entry.path().filename().string());
        MIDIFile* library = ZT_Init();
        ASSERT_EQ(ZT_CWInsLoad(library, entry.path().string().c_str()), 0u);
        ZT_cwdef* defs = nullptr;
        int count = 0;
        ASSERT_EQ(ZT_CWInsGetDefs(library, &defs, &count), 0u);
        ASSERT_GT(count, 0);
        InsFile& file = *quorvix::insFileOf(library);
        for (int d = 0; d < count; ++d) {
            EXPECT_EQ(std::string(defs[d].name), file.definitionName(static_cast<std::size_t>(d)));
            ASSERT_EQ(ZT_CWInsSetDef(library, d), 0u);
            ZT_cwbankvoice* voices = nullptr;
            long voiceCount = 0;
            char text[] = "";
            ASSERT_EQ(ZT_CWInsGetBankVoiceList(library, text, &voices, &voiceCount), 0u);
            EXPECT_EQ(static_cast<std::size_t>(voiceCount), file.voices(static_cast<std::size_t>(d)).size());
            for (long v = 0; v < voiceCount; ++v) {
                EXPECT_TRUE(voices[v].bank >= 0 && voices[v].bank <= 16383) << voices[v].bank;
                EXPECT_TRUE(voices[v].program >= 0 && voices[v].program <= 127) << voices[v].program;
            }
            ZT_Delete(voices);
        }
        ZT_Delete(defs);
        ZT_Free(library);
    }
    EXPECT_EQ(files, 21u);
}

TEST(InsCorpus, CrLfTwinsGiveTheSameVoices)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    const std::pair<const char*, const char*> twins[] = {
        {"SC-8850.ins", "Roland_SC-8850.ins"},
        {"MU1000_MU2000.ins", "YAMAHA_MU1000_MU2000.ins"},
    };
    for (const auto& [crlf, lf] : twins) {
        SCOPED_TRACE(crlf);
        InsFile a;
        InsFile b;
        ASSERT_TRUE(a.load(textFromPath(corpus / "ins" / crlf)));
        ASSERT_TRUE(b.load(textFromPath(corpus / "ins" / lf)));
        ASSERT_EQ(a.definitionCount(), b.definitionCount());
        for (std::size_t d = 0; d < a.definitionCount(); ++d) {
            const auto va = a.voices(d);
            const auto vb = b.voices(d);
            ASSERT_EQ(va.size(), vb.size());
            for (std::size_t i = 0; i < va.size(); ++i) {
                EXPECT_EQ(va[i].bank, vb[i].bank);
                EXPECT_EQ(va[i].program, vb[i].program);
                EXPECT_EQ(va[i].name, vb[i].name);
            }
        }
    }
}

TEST(InsCorpus, ForeignBinariesAreRejected)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    for (const char* name : {"midi.ins", "piano.ins"}) {
        SCOPED_TRACE(name);
        InsFile file;
        EXPECT_FALSE(file.load(textFromPath(corpus / "ins" / "foreign" / name)));
        EXPECT_NE(file.error().find("so it is no instrument definition file"), std::string::npos)
            << file.error();
        MIDIFile* library = ZT_Init();
        EXPECT_NE(ZT_CWInsLoad(library, (corpus / "ins" / "foreign" / name).string().c_str()), 0u);
        ZT_Free(library);
    }
}

} // namespace
