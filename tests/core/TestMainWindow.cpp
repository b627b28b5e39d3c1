// The main window's button table, field texts and messages, driven through the core with scripted dialogs.

#include "ScriptedHost.h"
#include "TestSupport.h"
#include "app/ConverterDialog.h"
#include "app/Messages.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <map>

using namespace quorvix;
using quorvix::test::makeVoice;
using quorvix::test::ScriptedHost;
using quorvix::test::TempDir;

namespace {

/// A library whose every call can be made to fail, with voices and definitions given by the test.
class FakeLibrary : public MidiLibrary
{
public:
    bool initFails = false, loadFails = false, defsFail = false, setDefFails = false, voiceListFails = false;
    std::vector<std::string> definitions{"Synth One"};
    std::vector<ZT_cwbankvoice> voices;
    int inits = 0, frees = 0, deletes = 0, loads = 0;
    std::string loadedPath;

    ~FakeLibrary() override { EXPECT_TRUE(m_arrays.empty()) << "arrays handed out were not released"; }

    MIDIFile* Init() override
    {
        ++inits;
        return initFails ? nullptr : reinterpret_cast<MIDIFile*>(&m_handle);
    }
    std::uint32_t Free(MIDIFile*) override
    {
        ++frees;
        return 0;
    }
    void Delete(void* array) override
    {
        if (array == nullptr)
            return;
        ++deletes;
        auto it = m_arrays.find(array);
        ASSERT_NE(it, m_arrays.end()) << "released an array twice or one never handed out";
        it->second();
        m_arrays.erase(it);
    }
    std::uint32_t CWInsLoad(MIDIFile*, const char* path) override
    {
        ++loads;
        loadedPath = path;
        return loadFails ? 1 : 0;
    }
    std::uint32_t CWInsGetDefs(MIDIFile*, ZT_cwdef** defs, int* count) override
    {
        *defs = nullptr;
        *count = 0;
        if (defsFail)
            return 1;
        auto* array = new ZT_cwdef[definitions.size()]();
        for (std::size_t i = 0; i < definitions.size(); ++i)
            std::strncpy(array[i].name, definitions[i].c_str(), sizeof array[i].name - 1);
        m_arrays[array] = [array] { delete[] array; };
        *defs = array;
        *count = static_cast<int>(definitions.size());
        return 0;
    }
    std::uint32_t CWInsSetDef(MIDIFile*, int) override { return setDefFails ? 1 : 0; }
    std::string LoadError(MIDIFile*) override { return "has none of the section lines"; }
    std::uint32_t CWInsGetBankVoiceList(MIDIFile*, char*, ZT_cwbankvoice** out, long* count) override
    {
        if (voiceListFails)
            return 1;
        auto* array = new ZT_cwbankvoice[voices.size()];
        std::copy(voices.begin(), voices.end(), array);
        m_arrays[array] = [array] { delete[] array; };
        *out = array;
        *count = static_cast<long>(voices.size());
        return 0;
    }

private:
    int m_handle = 0;
    std::map<void*, std::function<void()>> m_arrays;
};

struct Window
{
    FakeLibrary library;
    ScriptedHost host;
    ConverterDialog dialog{host, library, [] { return std::time_t{0}; }};

    Window()
    {
        host.window = &dialog;
        dialog.OnInitDialog();
    }

    std::string fields() const
    {
        std::string all;
        for (Field f : {Field::DefinitionFile, Field::Instrument, Field::SavedScript, Field::LoadedScript,
                        Field::SavedDefinition})
            all += "[" + dialog.fieldText(f) + "]";
        return all;
    }

    void loadDefinition(const std::string& path = "/music/synth.ins")
    {
        host.openAnswers.push_back(path);
        host.selections.push_back(0);
        dialog.LoadInstrumentDefinition();
    }
};

const std::string kNoFields = "[][][][][]";

} // namespace

TEST(MainWindow, StartsWithOnlyTheTwoLoadCommandsAndEmptyFields)
{
    Window w;
    EXPECT_EQ(w.host.buttons(), "1000 1020");
    EXPECT_EQ(w.fields(), kNoFields);
    EXPECT_TRUE(w.host.events.empty());
}

TEST(MainWindow, InfoChangesNothing)
{
    Window w;
    w.dialog.ShowInfo();
    ASSERT_EQ(w.host.events.size(), 1u);
    EXPECT_EQ(w.host.events[0].kind, "info");
    EXPECT_EQ(w.host.buttons(), "1000 1020");
    EXPECT_EQ(w.fields(), kNoFields);
}

TEST(MainWindow, ExitReleasesTheLibraryOnlyWhenOneWasCreated)
{
    {
        Window w;
        w.dialog.OnOK();
        EXPECT_EQ(w.library.inits, 0);
        EXPECT_EQ(w.library.frees, 0) << "Exit before any load makes no library call";
    }
    {
        Window w;
        w.host.openAnswers.push_back(std::nullopt);
        w.dialog.LoadInstrumentDefinition();
        w.dialog.OnOK();
        EXPECT_EQ(w.library.frees, 1);
        w.dialog.OnOK();
        EXPECT_EQ(w.library.frees, 1) << "the handle is released once";
    }
}

TEST(MainWindow, LoadDefinitionFailuresLeaveTheCakewalkOnlyState)
{
    struct Row
    {
        const char* what;
        std::function<void(Window&)> arrange;
        std::vector<std::string> messages;
        std::string fields;
    };
    const std::vector<Row> rows{
        {"library cannot be created",
         [](Window& w) { w.library.initFails = true; },
         {messages::kInitLibraryFailed},
         kNoFields},
        {"file dialog cancelled",
         [](Window& w) { w.host.openAnswers.push_back(std::nullopt); },
         {},
         kNoFields},
        {"file cannot be loaded",
         [](Window& w) {
             w.library.loadFails = true;
             w.host.openAnswers.push_back("/x/broken.ins");
         },
         {std::string(messages::kOpenInsFailed) + "\n\n/x/broken.ins: has none of the section lines"},
         kNoFields},
        {"no definitions",
         [](Window& w) {
             w.library.defsFail = true;
             w.host.openAnswers.push_back("/x/empty.ins");
         },
         {messages::kNoDefinitions},
         "[/x/empty.ins][][][][]"},
        {"selection cancelled",
         [](Window& w) {
             w.host.openAnswers.push_back("/x/a.ins");
             w.host.selections.push_back(std::nullopt);
         },
         {},
         "[/x/a.ins][][][][]"},
        {"definition refused",
         [](Window& w) {
             w.library.setDefFails = true;
             w.host.openAnswers.push_back("/x/a.ins");
             w.host.selections.push_back(0);
         },
         {messages::kOpenDefinitionFailed},
         "[/x/a.ins][][][][]"},
        {"empty definitions list",
         [](Window& w) {
             w.library.definitions.clear();
             w.host.openAnswers.push_back("/x/a.ins");
             w.host.selections.push_back(0);
         },
         {},
         "[/x/a.ins][][][][]"},
        {"definition with an empty name",
         [](Window& w) {
             w.library.definitions = {""};
             w.host.openAnswers.push_back("/x/a.ins");
             w.host.selections.push_back(0);
         },
         {},
         "[/x/a.ins][][][][]"},
        {"voice list cannot be computed",
         [](Window& w) {
             w.library.voiceListFails = true;
             w.host.openAnswers.push_back("/x/a.ins");
             w.host.selections.push_back(0);
         },
         {messages::kVoiceListFailed},
         "[/x/a.ins][Synth One][][][]"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Window w;
        row.arrange(w);
        w.dialog.LoadInstrumentDefinition();
        EXPECT_EQ(w.host.messages(), row.messages);
        EXPECT_EQ(w.host.buttons(), "1000");
        EXPECT_EQ(w.fields(), row.fields);
    }
}

TEST(MainWindow, MessageKindsAndOwnersOfTheLoad)
{
    Window w;
    w.library.defsFail = true;
    w.host.openAnswers.push_back("/x/a.ins");
    w.dialog.LoadInstrumentDefinition();
    ASSERT_EQ(w.host.events.back().kind, "taskmodal");

    Window refused;
    refused.library.setDefFails = true;
    refused.library.definitions = {"A", "B"};
    refused.host.openAnswers.push_back("/x/a.ins");
    refused.host.selections.push_back(1);
    refused.dialog.LoadInstrumentDefinition();
    EXPECT_EQ(refused.host.lastSelectionNames, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(refused.host.events.back().kind, "selection-message");

    const auto& request = refused.host.fileRequests.at(0);
    EXPECT_EQ(request.filter, "Cakewalk Instrument Definition Files (*.ins)|*.ins|All Files (*.*)|*.*||");
    EXPECT_EQ(request.defaultExtension, "ins");
}

TEST(MainWindow, SuccessfulLoadEnablesOnlyConvertBeforeItsConfirmation)
{
    Window w;
    w.library.voices = {makeVoice(0, 0, "Grand Piano")};
    w.loadDefinition();
    ASSERT_FALSE(w.host.events.empty());
    EXPECT_EQ(w.host.events.back().text, messages::kLoadInsDone);
    EXPECT_EQ(w.host.events.back().buttons, "1006") << "the buttons change before the confirmation opens";
    EXPECT_EQ(w.fields(), "[/music/synth.ins][Synth One][][][]");
    EXPECT_EQ(w.dialog.instrumentName(), "Synth One");
    EXPECT_EQ(w.library.loadedPath, "/music/synth.ins");
}

TEST(MainWindow, LoadWithZeroVoicesStillSucceeds)
{
    Window w;
    w.loadDefinition();
    EXPECT_EQ(w.host.messages(), std::vector<std::string>{messages::kLoadInsDone});
    EXPECT_EQ(w.dialog.voiceCount(), 0);
    EXPECT_EQ(w.host.buttons(), "1006");
}

TEST(MainWindow, CancelledReloadReleasesTheEarlierFileAndClearsEveryField)
{
    Window w;
    w.library.definitions = {"First"};
    w.host.openAnswers.push_back("/x/a.ins");
    w.host.selections.push_back(std::nullopt);
    w.dialog.LoadInstrumentDefinition();
    EXPECT_EQ(w.fields(), "[/x/a.ins][][][][]");
    w.host.openAnswers.push_back(std::nullopt);
    w.dialog.LoadInstrumentDefinition();
    EXPECT_EQ(w.library.frees, 1) << "the first handle is released at the second click";
    EXPECT_EQ(w.fields(), kNoFields);
    EXPECT_EQ(w.host.buttons(), "1000");
}

TEST(MainWindow, ConvertReportsEachVoiceThatFitsNoGroupBeforeTheButtonsChange)
{
    Window w;
    w.library.voices = {makeVoice(0, 0, "Grand Piano"), makeVoice(20000, 5, "Odd One"),
                        makeVoice(16256, 128, "Kit\xE9")};
    w.loadDefinition();
    w.host.events.clear();
    w.dialog.ConvertToCubaseScript();
    const std::vector<std::string> expected{"Odd One Bank 20000", "Kit\xE9 Bank 16256",
                                            messages::kScriptConverted};
    EXPECT_EQ(w.host.messages(), expected);
    EXPECT_EQ(w.host.events[0].buttons, "1006") << "the notices come before the buttons change";
    EXPECT_EQ(w.host.events[2].buttons, "1009");
    EXPECT_EQ(w.dialog.voiceCount(), 0) << "the voice list is handed back after converting";
    EXPECT_EQ(w.library.deletes, 3) << "two definition arrays and the voice list";

    // An empty voice list converts without notices.
    Window empty;
    empty.loadDefinition();
    empty.host.events.clear();
    empty.dialog.ConvertToCubaseScript();
    EXPECT_EQ(empty.host.messages(), std::vector<std::string>{messages::kScriptConverted});
}

TEST(MainWindow, CommandsOfDisabledButtonsDoNothing)
{
    Window w;
    w.dialog.ConvertToCubaseScript();
    w.dialog.SaveScript();
    w.dialog.ConvertToCakewalkDefinition();
    w.dialog.SaveInsfile();
    EXPECT_TRUE(w.host.events.empty());
    EXPECT_EQ(w.host.buttons(), "1000 1020");
}

TEST(ShortenPath, KeepsUpTo55CharactersAndCutsInsideNone)
{
    const std::string p55 = "/" + std::string(54, 'a');
    EXPECT_EQ(ShortenPath(p55), p55);
    const std::string p56 = "/b" + std::string(54, 'a');
    EXPECT_EQ(ShortenPath(p56), "..." + p56.substr(4));
    EXPECT_EQ(ShortenPath(p56).size(), 55u);
    EXPECT_EQ(ShortenPath(""), "");

    // 55 two-byte characters are 110 bytes but still 55 characters: shown whole.
    std::string umlauts;
    for (int i = 0; i < 55; ++i)
        umlauts += "\xC3\xBC";
    EXPECT_EQ(ShortenPath(umlauts), umlauts);
    // One more and the last 52 characters stay, each of them whole.
    const std::string longer = "\xE2\x82\xAC" + umlauts; // euro sign first
    std::string tail;
    for (int i = 0; i < 52; ++i)
        tail += "\xC3\xBC";
    EXPECT_EQ(ShortenPath(longer), "..." + tail);
    // Bytes that are not UTF-8 (a Windows-1252 name) count one each.
    const std::string latin = std::string(60, '\xFC');
    EXPECT_EQ(ShortenPath(latin), "..." + std::string(52, '\xFC'));
}
