// Both directions end to end in the real window, with every modal dialog answered as a user would: load a
// small .ins file, choose an instrument, convert, save the script; then load that script, name the
// instrument, convert it back and save the .ins file, which loads again.

#include "ConverterWindow.h"
#include "GuiTestSupport.h"
#include "InfoDialog.h"
#include "InstrumentNameWindow.h"
#include "SelectDefinitionWindow.h"
#include "TextCodec.h"
#include "legacy/ZT_midifile.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <set>

using namespace quorvix;
using namespace quorvix::gui;
using namespace quorvix::gui::test;

namespace {

/// Which of the six command buttons are enabled, as "1000 1006 ..." in button order.
QString enabledButtons(const ConverterWindow& window)
{
    QStringList ids;
    for (Button id : {Button::LoadDefinition, Button::ConvertToScript, Button::SaveScript, Button::LoadScript,
                      Button::ConvertToDefinition, Button::SaveDefinition}) {
        if (window.button(id)->isEnabled())
            ids << QString::number(static_cast<int>(id));
    }
    return ids.join(u' ');
}

QString shown(const QString& path)
{
    return displayText(ShortenPath(pathBytes(path)));
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

/// The (bank, program, name) triples of every voice of every definition an .ins file holds.
std::set<std::string> definitionsAndVoices(const QString& path)
{
    std::set<std::string> found;
    MIDIFile* file = ZT_Init();
    if (ZT_CWInsLoad(file, pathBytes(path).c_str()) == 0) {
        ZT_cwdef* defs = nullptr;
        int count = 0;
        if (ZT_CWInsGetDefs(file, &defs, &count) == 0) {
            for (int i = 0; i < count; ++i) {
                found.insert(std::string("definition ") + defs[i].name);
                ZT_cwbankvoice* voices = nullptr;
                long voiceCount = 0;
                char none[] = "";
                if (ZT_CWInsSetDef(file, i) == 0 &&
                    ZT_CWInsGetBankVoiceList(file, none, &voices, &voiceCount) == 0) {
                    for (long v = 0; v < voiceCount; ++v)
                        found.insert(std::to_string(voices[v].bank) + "/" +
                                     std::to_string(voices[v].program) + " " + voices[v].name);
                }
                ZT_Delete(voices);
            }
        }
        ZT_Delete(defs);
    }
    ZT_Free(file);
    return found;
}

/// The real reader, but the chosen instrument's voices replaced by one no group can take.
class OutOfRangeVoiceLibrary : public MidiLibrary
{
public:
    std::uint32_t CWInsGetBankVoiceList(MIDIFile*, char*, ZT_cwbankvoice** voices, long* count) override
    {
        *voices = new ZT_cwbankvoice[1]{};
        (*voices)[0].bank = 20000;
        (*voices)[0].program = 5;
        std::strcpy((*voices)[0].name, "Caf\xE9 <b>Voice</b>");
        *count = 1;
        m_handedOut = *voices;
        return 0;
    }
    void Delete(void* array) override
    {
        if (array != nullptr && array == m_handedOut) {
            delete[] m_handedOut;
            m_handedOut = nullptr;
            return;
        }
        MidiLibrary::Delete(array);
    }

private:
    ZT_cwbankvoice* m_handedOut = nullptr;
};

} // namespace

class TestConvertAndSave : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_scope = new QObject(this); }
    void cleanup() { delete m_scope; }

    void bothDirectionsThroughTheWindow();
    void voiceThatFitsNoGroupIsReportedByName();

private:
    QObject* m_scope = nullptr;
};

void TestConvertAndSave::bothDirectionsThroughTheWindow()
{
    new ModalGuard(20000, m_scope);
    // A dot in the folder name: the proposed .ins name must replace the extension of the file name only.
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/quorvix.gui-XXXXXX"));
    QVERIFY(folder.isValid());
    const QString fixture = QStringLiteral(QUORVIX_TEST_DATA_DIR "/gui-two-instruments.ins");
    QVERIFY(QFile::exists(fixture));

    ConverterWindow window(MidiLibrary::standard(), [] { return std::time_t{1767225600}; });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // Load the .ins file and choose its second instrument.
    QStringList listed;
    auto* load = new ModalScript(m_scope);
    load->then(chooseFile(fixture))
        .then(onDialog<SelectDefinitionWindow>([&](SelectDefinitionWindow* selection) {
            for (int i = 0; i < selection->definitionList()->count(); ++i)
                listed << selection->definitionList()->itemText(i);
            selection->definitionList()->setCurrentIndex(1);
            selection->okButton()->click();
        }))
        .then(answerBox(QMessageBox::Ok));
    window.button(Button::LoadDefinition)->click();
    QVERIFY2(load->finished(), qPrintable(load->seen().join(" | ")));
    QCOMPARE(load->seen(),
             (QStringList{"[Open]", "[Select Instrumentendefinition]", "Load Instrumentdefinition done"}));
    QCOMPARE(listed, (QStringList{"First Synth", "Second Synth"}));
    QCOMPARE(window.field(Field::DefinitionFile)->text(), shown(QFileInfo(fixture).absoluteFilePath()));
    QCOMPARE(window.field(Field::Instrument)->text(), QStringLiteral("Second Synth"));
    QCOMPARE(enabledButtons(window), QStringLiteral("1006"));

    // Info in the middle of a run changes nothing.
    const QString fileShown = window.field(Field::DefinitionFile)->text();
    auto* info = new ModalScript(m_scope);
    info->then(onDialog<InfoDialog>([](InfoDialog* box) { box->reject(); }));
    window.infoButton()->click();
    QVERIFY2(info->finished(), qPrintable(info->seen().join(" | ")));
    QCOMPARE(window.field(Field::DefinitionFile)->text(), fileShown);
    QCOMPARE(window.field(Field::Instrument)->text(), QStringLiteral("Second Synth"));
    QCOMPARE(enabledButtons(window), QStringLiteral("1006"));

    // Convert.
    auto* convert = new ModalScript(m_scope);
    convert->then(answerBox(QMessageBox::Ok));
    window.button(Button::ConvertToScript)->click();
    QVERIFY2(convert->finished(), qPrintable(convert->seen().join(" | ")));
    QCOMPARE(convert->seen(), QStringList{"Cubase Patchname Script converted"});
    QCOMPARE(enabledButtons(window), QStringLiteral("1009"));
    QVERIFY(window.core().lines().GetSize() > 12);

    // Save the script under a name of our own; the dialog proposes one made from the instrument's name.
    const QString scriptPath = folder.filePath(QStringLiteral("second.txt"));
    QString proposedScript;
    auto* saveScript = new ModalScript(m_scope);
    saveScript->then(chooseFile(scriptPath, &proposedScript)).then(answerBox(QMessageBox::Ok));
    window.button(Button::SaveScript)->click();
    QVERIFY2(saveScript->finished(), qPrintable(saveScript->seen().join(" | ")));
    QCOMPARE(saveScript->seen(), (QStringList{"[Save As]", "Cubase Patchname Script saved"}));
    QCOMPARE(QFileInfo(proposedScript).fileName(), QStringLiteral("Second Synth.txt"));
    QCOMPARE(window.field(Field::SavedScript)->text(), shown(scriptPath));
    QCOMPARE(window.field(Field::Instrument)->text(), QStringLiteral("Second Synth"));
    QCOMPARE(enabledButtons(window), QStringLiteral("1000 1020"));

    QByteArray expected;
    for (const std::string& line : window.core().lines())
        expected += QByteArray::fromStdString(line) + "\r\n";
    const QByteArray script = readAll(scriptPath);
    QCOMPARE(script, expected);
    QVERIFY(script.contains("Grand Piano"));
    QVERIFY(script.contains("Violin"));
    QVERIFY(script.endsWith("[end]\r\n"));

    // The other direction: load the script just written.
    auto* loadScript = new ModalScript(m_scope);
    loadScript->then(chooseFile(scriptPath)).then(answerBox(QMessageBox::Ok));
    window.button(Button::LoadScript)->click();
    QVERIFY2(loadScript->finished(), qPrintable(loadScript->seen().join(" | ")));
    QCOMPARE(loadScript->seen(), (QStringList{"[Open]", "Load Cubase Patchname Script done"}));
    QCOMPARE(window.field(Field::LoadedScript)->text(), shown(scriptPath));
    for (Field cleared :
         {Field::DefinitionFile, Field::Instrument, Field::SavedScript, Field::SavedDefinition})
        QVERIFY(window.field(cleared)->text().isEmpty());
    QCOMPARE(enabledButtons(window), QStringLiteral("1024"));

    // Convert it, naming the instrument with a character of the Windows code page.
    auto* back = new ModalScript(m_scope);
    back->then(onDialog<InstrumentNameWindow>([](InstrumentNameWindow* name) {
            name->nameEdit()->setText(QStringLiteral("Café Synth"));
            name->okButton()->click();
        }))
        .then(answerBox(QMessageBox::Ok));
    window.button(Button::ConvertToDefinition)->click();
    QVERIFY2(back->finished(), qPrintable(back->seen().join(" | ")));
    QCOMPARE(back->seen(),
             (QStringList{"[Insert Instrument Name]", "Cakewalk Instrumentdefinition converted"}));
    QCOMPARE(enabledButtons(window), QStringLiteral("1027"));

    // Save it: the dialog proposes the script's path with ".ins" in place of ".txt".
    const QString insPath = folder.filePath(QStringLiteral("back.ins"));
    QString proposedIns;
    auto* saveIns = new ModalScript(m_scope);
    saveIns->then(chooseFile(insPath, &proposedIns)).then(answerBox(QMessageBox::Ok));
    window.button(Button::SaveDefinition)->click();
    QVERIFY2(saveIns->finished(), qPrintable(saveIns->seen().join(" | ")));
    QCOMPARE(saveIns->seen(), (QStringList{"[Save As]", "Cakewalk Instrumentdefinition saved"}));
    QCOMPARE(proposedIns, folder.filePath(QStringLiteral("second.ins")));
    QCOMPARE(window.field(Field::SavedDefinition)->text(), shown(insPath));
    QCOMPARE(enabledButtons(window), QStringLiteral("1000 1020"));
    QCOMPARE(window.core().lines().GetSize(), 0);

    const QByteArray ins = readAll(insPath);
    QVERIFY(ins.contains("Caf\xE9 Synth]\r\n"));
    const std::set<std::string> reloaded = definitionsAndVoices(insPath);
    for (const char* expectedEntry :
         {"definition Caf\xE9 Synth", "0/0 Grand Piano", "0/1 Bright Piano", "0/40 Violin"})
        QVERIFY2(reloaded.count(expectedEntry) == 1, expectedEntry);
}

void TestConvertAndSave::voiceThatFitsNoGroupIsReportedByName()
{
    new ModalGuard(10000, m_scope);
    OutOfRangeVoiceLibrary library;
    ConverterWindow window(library, [] { return std::time_t{1767225600}; });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto* load = new ModalScript(m_scope);
    load->then(chooseFile(QStringLiteral(QUORVIX_TEST_DATA_DIR "/gui-two-instruments.ins")))
        .then(onDialog<SelectDefinitionWindow>(
            [](SelectDefinitionWindow* selection) { selection->okButton()->click(); }))
        .then(answerBox(QMessageBox::Ok));
    window.button(Button::LoadDefinition)->click();
    QVERIFY2(load->finished(), qPrintable(load->seen().join(" | ")));

    // The name is Windows-1252 from the file and shown as such, as plain text, in a box of its own.
    Qt::TextFormat format = Qt::RichText;
    auto* convert = new ModalScript(m_scope);
    convert
        ->then(onDialog<QMessageBox>([&](QMessageBox* box) {
            format = box->textFormat();
            box->button(QMessageBox::Ok)->click();
        }))
        .then(answerBox(QMessageBox::Ok));
    window.button(Button::ConvertToScript)->click();
    QVERIFY2(convert->finished(), qPrintable(convert->seen().join(" | ")));
    QCOMPARE(convert->seen(),
             (QStringList{"Café <b>Voice</b> Bank 20000", "Cubase Patchname Script converted"}));
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(enabledButtons(window), QStringLiteral("1009"));
}

QTEST_MAIN(TestConvertAndSave)
#include "TestConvertAndSave.moc"
