// The main window's ways to files beyond its two dialogs and formats: files given on the command line or
// dropped, MIDNAM and REAPER bank files saved from a loaded definition, and both converted to a definition.

#include "ScriptedHost.h"
#include "TestSupport.h"
#include "app/ConverterDialog.h"
#include "app/Messages.h"
#include "formats/ins/InsReader.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#if !defined(_WIN32)
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace quorvix;
using quorvix::test::dataDir;
using quorvix::test::readFile;
using quorvix::test::ScriptedHost;
using quorvix::test::TempDir;
using quorvix::test::writeFile;

namespace {

constexpr const char* kIns = ".Patch Names\r\n[Pianos]\r\n0=Grand Piano\r\n.Instrument Definitions\r\n"
                             "[Synth A]\r\nPatch[0]=Pianos\r\n";
constexpr const char* kScript =
    "[cubase parse file]\r\n[define patchnames]\r\n[p3,   0,   1,   2]\tAlpha\r\n[end]\r\n";
constexpr const char* kReabank = "Bank 0 0 Main\n0 Alpha\n";
constexpr const char* kMidnam = "<?xml version=\"1.0\"?>\n<MIDINameDocument/>\n";
constexpr const char* kHapax = "VERSION 1\nTRACKNAME Synth\n[PC]\n1 Alpha\n[/PC]\n";

struct Window
{
    ScriptedHost host;
    ConverterDialog dialog{host, MidiLibrary::standard(), [] { return std::time_t{0}; }};
    TempDir dir;

    Window()
    {
        host.window = &dialog;
        dialog.OnInitDialog();
    }

    std::string file(const std::string& name, std::string_view bytes)
    {
        writeFile(dir / name, bytes);
        return (dir / name).string();
    }

    /// Loads a one-instrument .ins file through the command line's way and converts it to a script.
    void convertDefinition()
    {
        host.selections.push_back(0);
        dialog.openFile(file("synth.ins", kIns));
        dialog.ConvertToCubaseScript();
        host.events.clear();
    }

    /// Opens a document given as a file and converts it, answering the name dialog with `typed`.
    void convertDocument(const std::string& path, std::optional<std::string> typed)
    {
        dialog.openFiles({path});
        host.nameAnswers.push_back(std::move(typed));
        host.events.clear();
        dialog.ConvertToCakewalkDefinition();
    }

    /// The instrument names of the converted lines, read back as an .ins file.
    std::vector<std::string> definitionNames() const
    {
        std::string text;
        for (const std::string& line : dialog.lines())
            text += line + "\r\n";
        std::vector<std::string> names;
        const ReadResult read = readIns(text);
        for (const Instrument& instrument : read.set.instruments)
            names.emplace_back(read.set.text(instrument.name));
        return names;
    }
};

} // namespace

TEST(WindowFiles, LoadCommandFollowsTheContentThenTheName)
{
    struct Row
    {
        const char* name;
        const char* content; ///< null: the file does not exist
        Button command;
    };
    const Row rows[] = {
        {"synth.ins", kIns, Button::LoadDefinition},
        {"definition.txt", kIns, Button::LoadDefinition},
        {"script.ins", kScript, Button::LoadScript},
        {"device.midnam", kMidnam, Button::LoadScript},
        {"bank.reabank", kReabank, Button::LoadScript},
        {"hapax.ins", kHapax, Button::LoadScript},
        {"docstrip.ins", "\\input docstrip\n", Button::LoadDefinition},
        {"GONE.INS", nullptr, Button::LoadDefinition},
        {"photo.png", "\x89PNG\r\n", Button::LoadScript},
        {"gone.txt", nullptr, Button::LoadScript},
    };
    // A MIDNAM prolog longer than the first bytes looked at is followed to its first element.
    const std::string longProlog = "<!--" + std::string(70'000, ' ') + "-->" + kMidnam;
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.content != nullptr)
            writeFile(dir / row.name, row.content);
        EXPECT_EQ(ConverterDialog::loadCommandFor((dir / row.name).string()), row.command);
    }
    writeFile(dir / "prolog.ins", longProlog);
    EXPECT_EQ(ConverterDialog::loadCommandFor((dir / "prolog.ins").string()), Button::LoadScript);
#if !defined(_WIN32)
    // A pipe without a writer (a drag passes over it) is judged by its name at once, not waited for.
    ASSERT_EQ(::mkfifo((dir / "pipe.ins").c_str(), 0600), 0);
    EXPECT_EQ(ConverterDialog::loadCommandFor((dir / "pipe.ins").string()), Button::LoadDefinition);
#endif
}

TEST(WindowFiles, GivenFilesLoadAsTheirCommandWithoutItsFileDialog)
{
    Window definition;
    definition.host.selections.push_back(0);
    const std::string ins = definition.file("synth.ins", kIns);
    definition.dialog.openFiles({ins});
    ASSERT_EQ(definition.host.events.size(), 2u);
    EXPECT_EQ(definition.host.events[0].kind, "select") << "no file dialog comes up";
    EXPECT_EQ(definition.host.events[1].text, messages::kLoadInsDone);
    EXPECT_EQ(definition.host.buttons(), "1006");
    EXPECT_EQ(definition.dialog.fieldText(Field::DefinitionFile), ShortenPath(ins));
    EXPECT_EQ(definition.dialog.fieldText(Field::Instrument), "Synth A");
    EXPECT_FALSE(definition.dialog.canOpen(definition.file("s.txt", kScript)))
        << "its command is disabled now";
    EXPECT_FALSE(definition.dialog.openFile((definition.dir / "s.txt").string()));

    Window script;
    const std::string path = script.file("s.reabank", kReabank);
    script.dialog.openFiles({path, "/x/second.ins", "/x/third.txt"});
    EXPECT_EQ(script.host.messages(),
              (std::vector<std::string>{
                  messages::kLoadScriptDone,
                  "Quorvix opens one file at a time. Not opened:\n/x/second.ins\n/x/third.txt"}));
    EXPECT_EQ(script.host.buttons(), "1024");
    EXPECT_EQ(script.dialog.scriptPath(), path);

    Window missing;
    const std::string gone = (missing.dir / "gone.ins").string();
    missing.dialog.openFiles({gone});
    EXPECT_EQ(missing.host.messages(),
              std::vector<std::string>{std::string(messages::kOpenInsFailed) + "\n\n" + gone +
                                       ": cannot be read: No such file or directory"});
    EXPECT_EQ(missing.host.buttons(), "1000");
}

TEST(WindowFiles, SavedFormatFollowsTheTypedExtensionThenTheFileType)
{
    struct Row
    {
        const char* typed;
        std::size_t fileType;
        const char* starts;
    };
    const Row rows[] = {
        {"out.midnam", 0, "<?xml"},
        {"out.MIDNAM", 2, "<?xml"},
        {"out.reabank", 1, "// REAPER bank file"},
        {"out.txt", 1, "[cubase parse file]"},
        {"out.dat", 1, "<?xml"},
        {"out.dat", 2, "// REAPER bank file"},
        {"out", 0, "[cubase parse file]"},
        {"out", 9, "[cubase parse file]"},
        // .txt is the script's, unless the type selected is the Hapax's, whose files have it too.
        {"out.txt", 6, "VERSION 1\n"},
        {"out.TXT", 6, "VERSION 1\n"},
        {"out", 6, "VERSION 1\n"},
        {"out.txt", 3, "[cubase parse file]"},
        {"out.midnam", 6, "<?xml"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.typed) + " type " + std::to_string(row.fileType));
        Window w;
        w.convertDefinition();
        const auto target = w.dir / row.typed;
        w.host.saveAnswers.push_back(target.string());
        w.host.saveFileTypes.push_back(row.fileType);
        w.dialog.SaveScript();
        EXPECT_EQ(w.host.fileRequests.back().initialName, "Synth A.txt");
        EXPECT_EQ(w.host.messages(), std::vector<std::string>{messages::kScriptSaved});
        EXPECT_EQ(readFile(target).rfind(row.starts, 0), 0u) << readFile(target).substr(0, 80);
        EXPECT_EQ(w.dialog.fieldText(Field::SavedScript), ShortenPath(target.string()));
        EXPECT_EQ(w.host.buttons(), "1000 1020");
    }
}

TEST(WindowFiles, AHapaxDefinitionOfMoreThan128VoicesIsSavedAsNumberedFilesBesideTheChosenName)
{
    std::string ins = ".Patch Names\r\n[Hundred]\r\n";
    for (int p = 0; p < 100; ++p)
        ins += std::to_string(p) + "=Voice " + std::to_string(p) + "\r\n";
    ins += ".Instrument Definitions\r\n[Big]\r\nPatch[0]=Hundred\r\nPatch[1]=Hundred\r\n";
    TempDir card;
    const auto save = [&](Window& w, std::optional<bool> replace) {
        w.host.selections.push_back(0);
        w.dialog.openFile(w.file("big.ins", ins));
        w.dialog.ConvertToCubaseScript();
        w.host.events.clear();
        w.host.saveAnswers.push_back((card / "Big.txt").string());
        w.host.saveFileTypes.push_back(6); // Hapax Instrument Definitions
        if (replace)
            w.host.yesNoAnswers.push_back(*replace);
        w.dialog.SaveScript();
    };
    Window w;
    save(w, std::nullopt);
    EXPECT_EQ(
        w.host.messages(),
        std::vector<std::string>{std::string(messages::kScriptSaved) +
                                 "\n\nbig.ins: warning: \"Big\": 200 voices are more than the 128 [PC] lines "
                                 "of a Hapax definition: written as 2 files of whole banks, each with the "
                                 "definition's other sections"});
    EXPECT_EQ(readFile(card / "Big 2.txt").rfind("VERSION 1\n", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(card / "Big.txt"));

    // Files that are there are asked about, the first of them by its name.
    writeFile(card / "Big 2.txt", "the user's own");
    std::filesystem::remove(card / "Big 1.txt");
    Window again;
    save(again, false);
    EXPECT_EQ(again.host.messages(),
              std::vector<std::string>{"Use existing file \"" + (card / "Big 2.txt").string() + "\" ?"});
    EXPECT_EQ(readFile(card / "Big 2.txt"), "the user's own");
    EXPECT_FALSE(std::filesystem::exists(card / "Big 1.txt"));
}

TEST(WindowFiles, DocumentsConvertThroughTheModelWithTheProposedName)
{
    struct Row
    {
        const char* what;
        const char* file;
        std::string typed;
        const char* proposed;
        std::vector<std::string> names;
    };
    const std::vector<Row> rows{
        {"MIDNAM kept", "midnam-synth.midnam", "Tone 1", "Tone 1", {"Tone 1 (Voices)", "Tone 1 (Drums)"}},
        {"MIDNAM renamed",
         "midnam-synth.midnam",
         "Caf\xE9",
         "Tone 1",
         {"Caf\xE9 (Voices)", "Caf\xE9 (Drums)"}},
        // A PC without bank bytes and one with CC0 0 select the same bank: a further definition holds one.
        {"Hapax renamed", "hapax-drums.txt", "Mine", "Beat Box 2", {"Mine", "Mine (Bank 0:NULL)"}},
        // Its "Bank * *" names program 0 as the first bank does: a further definition holds it.
        {"REAPER renamed",
         "reabank-synth.reabank",
         "Mine",
         "Quorvix Test Synth",
         {"Mine", "Mine (Articulations)"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Window w;
        w.convertDocument((dataDir() / row.file).string(), row.typed);
        ASSERT_EQ(w.host.events.front().kind, "name");
        EXPECT_EQ(w.host.events.front().text, row.proposed);
        EXPECT_EQ(w.host.messages().at(0).rfind(messages::kDefinitionConverted, 0), 0u);
        EXPECT_EQ(w.host.buttons(), "1027");
        EXPECT_EQ(w.definitionNames(), row.names);
    }

    // What the reader skipped is listed after the confirmation, with its line.
    Window reaper;
    reaper.convertDocument((dataDir() / "reabank-synth.reabank").string(), "Mine");
    EXPECT_NE(reaper.host.messages().at(0).find("\n\nreabank-synth.reabank:6: warning: "), std::string::npos)
        << reaper.host.messages().at(0);

    // Saved as the .ins file the script side would propose.
    Window saved;
    const std::string copy = saved.file("tone.midnam", readFile(dataDir() / "midnam-synth.midnam"));
    saved.convertDocument(copy, "Tone 1");
    saved.host.saveAnswers.push_back((saved.dir / "tone.ins").string());
    saved.dialog.SaveInsfile();
    EXPECT_EQ(saved.host.fileRequests.back().initialName, (saved.dir / "tone.ins").string());
    EXPECT_EQ(saved.host.messages().back(), messages::kDefinitionSaved);
    EXPECT_EQ(readIns(readFile(saved.dir / "tone.ins")).set.instruments.size(), 2u);
}

TEST(WindowFiles, DocumentThatCannotBeReadFailsBeforeTheNameDialog)
{
    Window broken;
    broken.convertDocument((dataDir() / "broken-midnam-tags.midnam").string(), std::nullopt);
    ASSERT_EQ(broken.host.messages().size(), 1u);
    const std::string text = broken.host.messages()[0];
    EXPECT_EQ(text.rfind(std::string(messages::kConvertFailed) + "\n\n" +
                             (dataDir() / "broken-midnam-tags.midnam").string() + ": line 6, column ",
                         0),
              0u)
        << text;
    EXPECT_EQ(broken.host.buttons(), "1000 1020");
    EXPECT_EQ(broken.host.nameAnswers.size(), 1u) << "the name dialog never came up";

    Window cancelled;
    cancelled.convertDocument(cancelled.file("b.reabank", kReabank), std::nullopt);
    EXPECT_EQ(cancelled.host.messages(), std::vector<std::string>{messages::kConvertFailed});
    EXPECT_EQ(cancelled.host.buttons(), "1000 1020");
}

#if !defined(_WIN32)
namespace {

/// A pipe as a shell's "<(cat file)" gives it: its read end under /dev/fd, reached through a link of the
/// given name, fed by a thread that waits `hold`, writes the bytes and closes its end.
class FedPipe
{
public:
    FedPipe(const TempDir& dir, const std::string& name, std::string bytes,
            std::chrono::milliseconds hold = std::chrono::milliseconds(0))
    {
        ::signal(SIGPIPE, SIG_IGN);
        int ends[2] = {-1, -1};
        EXPECT_EQ(::pipe(ends), 0);
        m_read = ends[0];
        m_path = (dir / name).string();
        std::filesystem::create_symlink("/dev/fd/" + std::to_string(m_read), m_path);
        m_writer = std::thread([end = ends[1], bytes = std::move(bytes), hold] {
            std::this_thread::sleep_for(hold);
            for (std::size_t done = 0; done < bytes.size();) {
                const ssize_t wrote = ::write(end, bytes.data() + done, bytes.size() - done);
                if (wrote <= 0)
                    break;
                done += static_cast<std::size_t>(wrote);
            }
            ::close(end);
        });
    }
    ~FedPipe()
    {
        // Closed first, so that a writer the reader left behind ends too.
        ::close(m_read);
        m_writer.join();
    }
    const std::string& path() const { return m_path; }

private:
    int m_read = -1;
    std::string m_path;
    std::thread m_writer;
};

/// An .ins file of 128 voices, longer than the first bytes the window looks at.
std::string largeIns()
{
    std::string text = ".Patch Names\r\n[Voices]\r\n";
    for (int program = 0; program < 128; ++program)
        text += std::to_string(program) + "=Voice " + std::to_string(program) + "\r\n";
    for (int line = 0; line < 1200; ++line)
        text += "; " + std::string(60, 'c') + "\r\n";
    return text + ".Instrument Definitions\r\n[Piped]\r\nPatch[0]=Voices\r\n";
}

} // namespace

TEST(WindowFiles, PipesAreReadOnceAndNeverHoldTheWindow)
{
    // A FIFO that no program writes to is refused at once.
    Window fifo;
    const std::string named = (fifo.dir / "f.ins").string();
    ASSERT_EQ(::mkfifo(named.c_str(), 0600), 0);
    EXPECT_TRUE(fifo.dialog.openFile(named));
    EXPECT_EQ(fifo.host.messages(),
              std::vector<std::string>{withReason(messages::kOpenInsFailed, named,
                                                  "is a pipe or device that gave nothing to read")});

    // A definition from a pipe: its format and its voices come from one reading.
    Window definition;
    const std::string ins = largeIns();
    ASSERT_GT(ins.size(), kDetectionBytes);
    {
        FedPipe pipe(definition.dir, "piped", ins);
        definition.host.selections.push_back(0);
        EXPECT_TRUE(definition.dialog.openFile(pipe.path()));
        EXPECT_EQ(definition.host.messages(), std::vector<std::string>{messages::kLoadInsDone});
        EXPECT_EQ(definition.dialog.voiceCount(), 128);
    }

    // A script from a pipe converts from the bytes read when it was opened.
    Window script;
    {
        FedPipe pipe(script.dir, "script", kScript);
        script.convertDocument(pipe.path(), "Piped");
    }
    EXPECT_EQ(script.host.messages(), std::vector<std::string>{messages::kDefinitionConverted});
    EXPECT_EQ(script.definitionNames(), std::vector<std::string>{"Piped"});

    // A writer that keeps the pipe open and sends nothing is given up on.
    Window silent;
    {
        FedPipe pipe(silent.dir, "silent.ins", "", std::chrono::milliseconds(3000));
        EXPECT_TRUE(silent.dialog.openFile(pipe.path()));
        EXPECT_EQ(silent.host.messages(),
                  std::vector<std::string>{withReason(messages::kOpenInsFailed, pipe.path(),
                                                      "is a pipe or device that gave nothing to read for 2 "
                                                      "seconds")});
    }
}
#endif
