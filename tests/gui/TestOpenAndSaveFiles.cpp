// Files reach the window from the command line and by drag and drop, loading as their command would; "Save
// Script" writes the format of the typed extension, else of the chosen file type.

#include "ConverterApp.h"
#include "ConverterWindow.h"
#include "GuiTestSupport.h"
#include "InstrumentNameWindow.h"
#include "SelectDefinitionWindow.h"
#include "TextCodec.h"

#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace quorvix;
using namespace quorvix::gui;
using namespace quorvix::gui::test;

namespace {

const QString kData = QStringLiteral(QUORVIX_TEST_DATA_DIR);

QString shown(const QString& path)
{
    return displayText(ShortenPath(pathBytes(path)));
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

/// Drags `url` onto the window and drops it; whether the drag's entry and the drop were accepted.
std::pair<bool, bool> dropOnto(ConverterWindow& window, const QUrl& url)
{
    QMimeData data;
    data.setUrls({url});
    QDragEnterEvent enter(window.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QDropEvent drop(QPointF(window.rect().center()), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    return {enter.isAccepted(), drop.isAccepted()};
}

/// In the save dialog: selects the file type at `type` as a user would, then types `name` into the name field
/// and confirms once the dialog names `expected`. `renamed` receives the name field's text right after the
/// type changed.
ModalScript::Step saveWithType(int type, const QString& name, const QString& expected, QString* renamed)
{
    auto typeChosen = std::make_shared<bool>(false);
    return {[=](QWidget* modal) {
                auto* dialog = qobject_cast<QFileDialog*>(modal);
                if (dialog == nullptr)
                    return true;
                auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                if (!*typeChosen) {
                    *typeChosen = true;
                    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                    while (types->currentIndex() < type)
                        QTest::keyClick(types, Qt::Key_Down);
                    *renamed = edit->text();
                }
                const QFileInfo target(expected);
                if (dialog->directory().absolutePath() != target.absolutePath())
                    dialog->setDirectory(target.absolutePath());
                if (edit->text() != name)
                    edit->setText(name);
                return dialog->selectedFiles() == QStringList{target.absoluteFilePath()};
            },
            [](QWidget* modal) {
                if (auto* dialog = qobject_cast<QFileDialog*>(modal))
                    QTest::keyClick(dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")),
                                    Qt::Key_Return);
            }};
}

} // namespace

class TestOpenAndSaveFiles : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_scope = new QObject(this); }
    void cleanup() { delete m_scope; }

    void commandLineNamesFiles();
    void argumentLoadsADocumentWithItsNameProposed();
    void dropLoadsOrIsRefused();
    void savedFormatFollowsTypedExtensionThenFileType_data();
    void savedFormatFollowsTypedExtensionThenFileType();

private:
    QObject* m_scope = nullptr;
};

void TestOpenAndSaveFiles::commandLineNamesFiles()
{
    const QStringList files =
        ConverterApp::filesToOpen({"quorvix", "relative.ins", "", "/abs/Synth Bank.reabank"});
    QCOMPARE(files,
             (QStringList{QDir::current().absoluteFilePath("relative.ins"), "/abs/Synth Bank.reabank"}));
    QVERIFY(ConverterApp::filesToOpen({"quorvix"}).isEmpty());
}

void TestOpenAndSaveFiles::argumentLoadsADocumentWithItsNameProposed()
{
    new ModalGuard(10000, m_scope);
    ConverterWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QString midnam = kData + "/midnam-synth.midnam";
    auto* load = new ModalScript(m_scope);
    load->then(answerBox(QMessageBox::Ok));
    window.openFilesLater({midnam});
    QTRY_VERIFY_WITH_TIMEOUT(load->finished(), 8000);
    QCOMPARE(load->seen(), QStringList{"Load Cubase Patchname Script done"});
    QCOMPARE(window.field(Field::LoadedScript)->text(), shown(midnam));

    QString proposed;
    bool selected = false;
    auto* convert = new ModalScript(m_scope);
    convert
        ->then(onDialog<InstrumentNameWindow>([&](InstrumentNameWindow* name) {
            proposed = name->nameEdit()->text();
            selected = name->nameEdit()->selectedText() == proposed;
            name->okButton()->click();
        }))
        .then(answerBox(QMessageBox::Ok));
    window.button(Button::ConvertToDefinition)->click();
    QVERIFY2(convert->finished(), qPrintable(convert->seen().join(" | ")));
    QCOMPARE(proposed, QStringLiteral("Tone 1"));
    QVERIFY(selected);
    QStringList definitions;
    for (const std::string& line : window.core().lines())
        if (line.starts_with("[Tone"))
            definitions << QString::fromStdString(line);
    QCOMPARE(definitions, (QStringList{"[Tone 1 (Voices)]", "[Tone 1 (Drums)]"}));
    QVERIFY(window.button(Button::SaveDefinition)->isEnabled());
}

void TestOpenAndSaveFiles::dropLoadsOrIsRefused()
{
    new ModalGuard(10000, m_scope);
    ConverterWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.acceptDrops());
    const QUrl reabank = QUrl::fromLocalFile(kData + "/reabank-synth.reabank");
    const QUrl ins = QUrl::fromLocalFile(kData + "/gui-two-instruments.ins");

    QCOMPARE(dropOnto(window, QUrl("https://quorvix.org/synth.ins")), std::make_pair(false, false));

    auto* load = new ModalScript(m_scope);
    load->then(answerBox(QMessageBox::Ok));
    QCOMPARE(dropOnto(window, reabank), std::make_pair(true, true));
    QTRY_VERIFY_WITH_TIMEOUT(load->finished(), 8000);
    QCOMPARE(load->seen(), QStringList{"Load Cubase Patchname Script done"});
    QCOMPARE(window.field(Field::LoadedScript)->text(), shown(reabank.toLocalFile()));

    // Only "Convert to Cakewalk Instrumentdefinition" is enabled now: neither direction's load takes a drop.
    for (const QUrl& url : {ins, reabank}) {
        QCOMPARE(dropOnto(window, url), std::make_pair(false, false));
        QTest::qWait(50);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }
    QCOMPARE(window.field(Field::LoadedScript)->text(), shown(reabank.toLocalFile()));
    QVERIFY(window.button(Button::ConvertToDefinition)->isEnabled());
}

void TestOpenAndSaveFiles::savedFormatFollowsTypedExtensionThenFileType_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("renamed");
    QTest::addColumn<QByteArray>("starts");
    QTest::newRow("typed .midnam, first type") << 0 << "second.midnam"
                                               << "second.midnam"
                                               << "Second Synth.txt" << QByteArray("<?xml");
    QTest::newRow("no extension, REAPER type") << 2 << "bank"
                                               << "bank.reabank"
                                               << "Second Synth.reabank" << QByteArray("// REAPER bank file");
    QTest::newRow("typed .txt, MIDNAM type") << 1 << "script.txt"
                                             << "script.txt"
                                             << "Second Synth.midnam" << QByteArray("[cubase parse file]");
    // Two types share .txt: the one selected decides.
    QTest::newRow("typed .txt, Hapax type") << 6 << "hapax.txt"
                                            << "hapax.txt"
                                            << "Second Synth.txt" << QByteArray("VERSION 1\n");
}

void TestOpenAndSaveFiles::savedFormatFollowsTypedExtensionThenFileType()
{
    QFETCH(int, type);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(QString, renamed);
    QFETCH(QByteArray, starts);
    new ModalGuard(15000, m_scope);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    ConverterWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto* load = new ModalScript(m_scope);
    load->then(onDialog<SelectDefinitionWindow>([](SelectDefinitionWindow* selection) {
            selection->definitionList()->setCurrentIndex(1);
            selection->okButton()->click();
        }))
        .then(answerBox(QMessageBox::Ok));
    const QString ins = kData + "/gui-two-instruments.ins";
    window.openFilesLater({ins});
    QTRY_VERIFY_WITH_TIMEOUT(load->finished(), 8000);
    QCOMPARE(load->seen(),
             (QStringList{"[Select Instrumentendefinition]", "Load Instrumentdefinition done"}));
    QCOMPARE(window.field(Field::DefinitionFile)->text(), shown(ins));
    QCOMPARE(window.field(Field::Instrument)->text(), QStringLiteral("Second Synth"));
    auto* convert = new ModalScript(m_scope);
    convert->then(answerBox(QMessageBox::Ok));
    window.button(Button::ConvertToScript)->click();
    QVERIFY2(convert->finished(), qPrintable(convert->seen().join(" | ")));

    const QString target = folder.filePath(written);
    QString nameAfterTypeChange;
    auto* save = new ModalScript(m_scope);
    save->then(saveWithType(type, typed, target, &nameAfterTypeChange)).then(answerBox(QMessageBox::Ok));
    window.button(Button::SaveScript)->click();
    QVERIFY2(save->finished(), qPrintable(save->seen().join(" | ")));
    // The confirmation, with what the format changed when it is not a script ("... name holds characters
    // ...").
    QCOMPARE(save->seen().size(), 2);
    QCOMPARE(save->seen().at(0), QStringLiteral("[Save As]"));
    QVERIFY(save->seen().at(1).startsWith(QStringLiteral("Cubase Patchname Script saved")));
    QCOMPARE(nameAfterTypeChange, renamed);
    QVERIFY2(readAll(target).startsWith(starts), readAll(target).left(80).constData());
    QCOMPARE(window.field(Field::SavedScript)->text(), shown(target));
}

QTEST_MAIN(TestOpenAndSaveFiles)
#include "TestOpenAndSaveFiles.moc"
