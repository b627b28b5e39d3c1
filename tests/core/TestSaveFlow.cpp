// Both directions through the main window's commands: convert, then save, with every outcome of the save.

#include "ScriptedHost.h"
#include "TestSupport.h"
#include "app/ConverterDialog.h"
#include "app/Messages.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace quorvix;
using quorvix::test::readFile;
using quorvix::test::ScriptedHost;
using quorvix::test::TempDir;
using quorvix::test::writeFile;
namespace fs = std::filesystem;

namespace {

constexpr const char* kSmallIns = ".Patch Names\r\n"
                                  "[Pianos]\r\n"
                                  "0=Grand Piano\r\n"
                                  "1=Bright Piano\r\n"
                                  ".Instrument Definitions\r\n"
                                  "[Synth-X 1.2 (Bank A)]\r\n"
                                  "Patch[0]=Pianos\r\n";

constexpr const char* kSmallScript = "[cubase parse file]\r\n"
                                     "[define patchnames]\r\n"
                                     "[mode]\tXG Voices\r\n"
                                     "[p3,   0,   1,   2]\tAlpha\r\n"
                                     "[p2,   3, 130]\tBeta\r\n"
                                     "[p3,   0,   0,   0]\tGamma\r\n"
                                     "[end]\r\n";

struct Window
{
    ScriptedHost host;
    ConverterDialog dialog{host, MidiLibrary::standard(), [] { return std::time_t{86400 * 365}; }};
    TempDir dir;

    Window()
    {
        host.window = &dialog;
        dialog.OnInitDialog();
    }

    /// Loads the small .ins file and converts it to a script.
    void convertDefinition()
    {
        writeFile(dir / "synth.ins", kSmallIns);
        host.openAnswers.push_back((dir / "synth.ins").string());
        host.selections.push_back(0);
        dialog.LoadInstrumentDefinition();
        ASSERT_EQ(host.buttons(), "1006");
        dialog.ConvertToCubaseScript();
    }

    /// Loads the small script and converts it to an instrument definition named `name`.
    void convertScript(const std::string& name = "Synth")
    {
        writeFile(dir / "synth.txt", kSmallScript);
        host.openAnswers.push_back((dir / "synth.txt").string());
        dialog.LoadCubaseScript();
        host.nameAnswers.push_back(name);
        dialog.ConvertToCakewalkDefinition();
    }
};

} // namespace

TEST(SaveFlow, ConvertToScriptFillsTheLinesAndEnablesOnlySave)
{
    Window w;
    w.convertDefinition();
    EXPECT_EQ(w.host.events.back().text, messages::kScriptConverted);
    EXPECT_EQ(w.host.events.back().buttons, "1009");
    ASSERT_GT(w.dialog.lines().GetSize(), 12);
    EXPECT_EQ(w.dialog.lines()[0], "[cubase parse file]");
    EXPECT_EQ(w.dialog.lines()[6], "[device name] Synth-X 1.2 (Bank A)");
    EXPECT_EQ(w.dialog.lines()[w.dialog.lines().GetSize() - 1], "[end]");
}

TEST(SaveFlow, SaveScriptProposesTheCleanedNameAndWritesCrLf)
{
    Window w;
    w.convertDefinition();
    const auto target = w.dir / "out.txt";
    w.host.saveAnswers.push_back(target.string());
    w.dialog.SaveScript();

    const auto& request = w.host.fileRequests.back();
    EXPECT_EQ(request.initialName, "SynthX 12 Bank A.txt");
    EXPECT_EQ(request.filter, "Script-File (*.txt)|*.txt|MIDNAM Files (*.midnam)|*.midnam|"
                              "REAPER Bank Files (*.reabank)|*.reabank|Rosegarden Device Files (*.rgd)|*.rgd|"
                              "MusE Instrument Files (*.idf)|*.idf|CSV Spreadsheets (*.csv)|*.csv|"
                              "Hapax Instrument Definitions (*.txt)|*.txt||");
    EXPECT_EQ(request.defaultExtension, "txt");

    EXPECT_EQ(w.host.events.back().text, messages::kScriptSaved);
    EXPECT_EQ(w.host.events.back().buttons, "1000 1020") << "the buttons reset before the confirmation";
    std::string expected;
    for (const auto& line : w.dialog.lines())
        expected += line + "\r\n";
    EXPECT_EQ(readFile(target), expected) << "the lines stay in the window after saving";
    EXPECT_EQ(w.dialog.fieldText(Field::SavedScript),
              target.string().size() > 55 ? "..." + target.string().substr(target.string().size() - 52)
                                          : target.string());
    EXPECT_FALSE(w.dialog.fieldText(Field::DefinitionFile).empty()) << "1001 and 1002 keep their texts";
    EXPECT_EQ(w.dialog.fieldText(Field::Instrument), "Synth-X 1.2 (Bank A)");
}

TEST(SaveFlow, SaveScriptCancelRefusalAndFailureKeepItEnabled)
{
    Window w;
    w.convertDefinition();
    const auto target = w.dir / "existing.txt";
    writeFile(target, "keep me");

    w.host.saveAnswers.push_back(std::nullopt);
    w.dialog.SaveScript();
    EXPECT_EQ(w.host.buttons(), "1009");

    w.host.saveAnswers.push_back(target.string());
    w.host.yesNoAnswers.push_back(false);
    w.dialog.SaveScript();
    EXPECT_EQ(w.host.events.back().text, "Use existing file \"" + target.string() + "\" ?");
    EXPECT_EQ(readFile(target), "keep me");
    EXPECT_EQ(w.host.buttons(), "1009");
    EXPECT_EQ(w.dialog.fieldText(Field::SavedScript), "");

    const auto blocked = w.dir / "existing.txt" / "child.txt";
    w.host.saveAnswers.push_back(blocked.string());
    w.dialog.SaveScript();
    EXPECT_EQ(w.host.events.back().kind, "error");
    EXPECT_EQ(w.host.events.back().text, "Cannot save \"" + blocked.string() + "\": \"" +
                                             blocked.parent_path().string() +
                                             "\" is not a folder: Not a directory");
    EXPECT_EQ(w.host.buttons(), "1009") << "the save can be tried again";

    w.host.saveAnswers.push_back(target.string());
    w.host.yesNoAnswers.push_back(true);
    w.dialog.SaveScript();
    EXPECT_EQ(w.host.events.back().text, messages::kScriptSaved);
    EXPECT_NE(readFile(target), "keep me");
}

TEST(SaveFlow, EmptyExistingFileIsReplacedWithoutAQuestion)
{
    Window w;
    w.convertDefinition();
    const auto target = w.dir / "empty.txt";
    writeFile(target, "");
    w.host.saveAnswers.push_back(target.string());
    w.dialog.SaveScript();
    for (const auto& event : w.host.events)
        EXPECT_NE(event.kind, "ask");
    EXPECT_FALSE(readFile(target).empty());
}

TEST(SaveFlow, LoadScriptCancelAndSuccess)
{
    Window w;
    w.host.openAnswers.push_back(std::nullopt);
    w.dialog.LoadCubaseScript();
    EXPECT_EQ(w.host.buttons(), "1000 1020");
    EXPECT_TRUE(w.host.messages().empty());
    EXPECT_EQ(
        w.host.fileRequests.back().filter,
        "Cubase Patchname Script Files (*.txt)|*.txt|All Files (*.*)|*.*|MIDNAM Files (*.midnam)|*.midnam|"
        "REAPER Bank Files (*.reabank)|*.reabank|Rosegarden Device Files (*.rgd)|*.rgd|"
        "MusE Instrument Files (*.idf)|*.idf|CSV Spreadsheets (*.csv)|*.csv|"
        "Hapax Instrument Definitions (*.txt)|*.txt||");

    const std::string path = "/a/rather/long/folder/name/that/goes/on/and/on/for/a/while/synth.txt";
    w.host.openAnswers.push_back(path);
    w.dialog.LoadCubaseScript();
    EXPECT_EQ(w.host.events.back().text, messages::kLoadScriptDone);
    EXPECT_EQ(w.host.events.back().buttons, "1024");
    EXPECT_EQ(w.dialog.scriptPath(), path);
    EXPECT_EQ(w.dialog.fieldText(Field::LoadedScript), "..." + path.substr(path.size() - 52));
}

TEST(SaveFlow, ConvertToDefinitionFailuresResetAndKeepTheLines)
{
    Window w;
    w.convertDefinition();
    const int linesBefore = w.dialog.lines().GetSize();
    w.host.saveAnswers.push_back((w.dir / "s.txt").string());
    w.dialog.SaveScript();

    // The name dialog cancelled.
    w.host.openAnswers.push_back((w.dir / "missing.txt").string());
    w.dialog.LoadCubaseScript();
    w.host.nameAnswers.push_back(std::nullopt);
    w.host.events.clear();
    w.dialog.ConvertToCakewalkDefinition();
    ASSERT_EQ(w.host.messages(), std::vector<std::string>{messages::kConvertFailed});
    EXPECT_EQ(w.host.events.back().buttons, "1000 1020");

    // The script cannot be opened (empty OK presses are ignored by the name dialog).
    w.host.openAnswers.push_back((w.dir / "missing.txt").string());
    w.dialog.LoadCubaseScript();
    w.host.nameAnswers.insert(w.host.nameAnswers.end(), {std::string(), std::string(" ")});
    w.host.events.clear();
    w.dialog.ConvertToCakewalkDefinition();
    EXPECT_EQ(w.host.messages(), std::vector<std::string>{std::string(messages::kConvertFailed) + "\n\n" +
                                                          (w.dir / "missing.txt").string() +
                                                          ": cannot be read: No such file or directory"});

    // A line of 257 characters after valid entries.
    writeFile(w.dir / "long.txt", std::string(kSmallScript) + std::string(257, 'x') + "\r\n");
    w.host.openAnswers.push_back((w.dir / "long.txt").string());
    w.dialog.LoadCubaseScript();
    w.host.nameAnswers.push_back("Synth");
    w.host.events.clear();
    w.dialog.ConvertToCakewalkDefinition();
    EXPECT_EQ(w.host.messages(), (std::vector<std::string>{std::string(messages::kNoWindowsScript) + "\n\n" +
                                                               (w.dir / "long.txt").string() +
                                                               ": line 8 is longer than 256 characters",
                                                           messages::kConvertFailed}));
    EXPECT_EQ(w.host.events[1].buttons, "") << "the first message comes before the buttons reset";
    EXPECT_EQ(w.host.events[2].buttons, "1000 1020");
    EXPECT_EQ(w.dialog.lines().GetSize(), linesBefore) << "a failed conversion leaves the lines as they were";
}

TEST(SaveFlow, ConvertAndSaveInsfile)
{
    Window w;
    w.convertScript();
    EXPECT_EQ(w.host.events.back().text, messages::kDefinitionConverted);
    EXPECT_EQ(w.host.events.back().buttons, "") << "1027 is enabled only after the confirmation";
    EXPECT_EQ(w.host.buttons(), "1027");
    ASSERT_GT(w.dialog.lines().GetSize(), 20);

    const auto target = w.dir / "synth.ins";
    w.host.saveAnswers.push_back(target.string());
    w.dialog.SaveInsfile();
    const auto& request = w.host.fileRequests.back();
    EXPECT_EQ(request.initialName, (w.dir / "synth.ins").string());
    EXPECT_EQ(request.filter, "Instrumentdefinition file (*.ins)|*.ins||");
    EXPECT_EQ(request.defaultExtension, "ins");
    EXPECT_EQ(w.dialog.insFileName(), target.string());
    EXPECT_EQ(w.host.events.back().text, messages::kDefinitionSaved);
    EXPECT_EQ(w.host.events.back().buttons, "") << "the confirmation comes before the buttons reset";
    EXPECT_EQ(w.host.buttons(), "1000 1020");
    EXPECT_EQ(w.dialog.lines().GetSize(), 0) << "Save Insfile empties the lines";

    const auto text = readFile(target);
    EXPECT_NE(text.find("[ Synth]\r\nPatch[0]=Bank0\r\nPatch[130]=Bank130\r\n"), std::string::npos) << text;
}

TEST(SaveFlow, CancelledSaveInsfileReturnsToTheFirstState)
{
    Window w;
    w.convertScript();
    w.host.saveAnswers.push_back(std::nullopt);
    w.dialog.SaveInsfile();
    EXPECT_EQ(w.host.buttons(), "1000 1020");
    EXPECT_TRUE(w.host.events.back().kind == "save");

    Window failing;
    failing.convertScript();
    const auto blocked = failing.dir / "synth.txt" / "x.ins";
    failing.host.saveAnswers.push_back(blocked.string());
    failing.dialog.SaveInsfile();
    EXPECT_EQ(failing.host.events.back().text, "Cannot save \"" + blocked.string() + "\": \"" +
                                                   blocked.parent_path().string() +
                                                   "\" is not a folder: Not a directory");
    EXPECT_EQ(failing.host.buttons(), "1000 1020");
    EXPECT_EQ(failing.dialog.fieldText(Field::SavedDefinition), ShortenPath(blocked.string()));
}
