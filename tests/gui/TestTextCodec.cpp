// Byte strings of the core shown in the GUI, typed text going back, and file dialog filters.

#include "QtDialogHost.h"
#include "TextCodec.h"
#include "app/Messages.h"
#include "app/ModelFiles.h"

#include <QComboBox>
#include <QFileDialog>
#include <QTest>

using namespace quorvix;
using namespace quorvix::gui;

Q_DECLARE_METATYPE(std::string)

class TestTextCodec : public QObject
{
    Q_OBJECT

private slots:
    void displayText_data();
    void displayText();
    void windows1252RoundTrip();
    void toWindows1252_data();
    void toWindows1252();
    void nameFilters_data();
    void nameFilters();
    void fileDialogShowsDescriptionsAsWritten();
};

void TestTextCodec::displayText_data()
{
    QTest::addColumn<std::string>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("ascii") << std::string("Grand Piano") << QStringLiteral("Grand Piano");
    QTest::newRow("empty") << std::string() << QString();
    QTest::newRow("utf-8") << std::string("Caf\xC3\xA9 \xE2\x82\xAC") << QStringLiteral("Café €");
    QTest::newRow("windows-1252") << std::string("Caf\xE9 \x80") << QStringLiteral("Café €");
    QTest::newRow("bad utf-8 falls back") << std::string("\xC3\x28") << QStringLiteral("Ã(");
    QTest::newRow("truncated utf-8") << std::string("ab\xE2\x82") << QStringLiteral("abâ‚");
    QTest::newRow("undefined byte kept") << std::string("\x81") << QString(QChar(0x81));
    QTest::newRow("quotes and dashes") << std::string("\x93x\x94 \x96") << QStringLiteral("“x” –");
}

void TestTextCodec::displayText()
{
    QFETCH(std::string, bytes);
    QFETCH(QString, shown);
    QCOMPARE(gui::displayText(bytes), shown);
}

void TestTextCodec::windows1252RoundTrip()
{
    std::string all;
    for (int byte = 1; byte < 256; ++byte)
        all.push_back(static_cast<char>(byte));
    const QString text = fromWindows1252(all);
    QCOMPARE(text.size(), qsizetype(255));
    QCOMPARE(gui::toWindows1252(text), all);
}

void TestTextCodec::toWindows1252_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::string>("bytes");
    QTest::newRow("ascii") << QStringLiteral("Synth 1") << std::string("Synth 1");
    QTest::newRow("latin-1") << QStringLiteral("Café Ü") << std::string("Caf\xE9 \xDC");
    QTest::newRow("euro and y-diaeresis") << QStringLiteral("€Ÿ") << std::string("\x80\x9F");
    QTest::newRow("not in the code page") << QStringLiteral("日本 Ω") << std::string("?? ?");
    QTest::newRow("outside the BMP is one character") << QStringLiteral("a🎹b") << std::string("a?b");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << std::string("?");
}

void TestTextCodec::toWindows1252()
{
    QFETCH(QString, text);
    QFETCH(std::string, bytes);
    QCOMPARE(gui::toWindows1252(text), bytes);
}

void TestTextCodec::nameFilters_data()
{
    QTest::addColumn<std::string>("classic");
    QTest::addColumn<QStringList>("qt");
    QTest::newRow("ins open") << std::string(messages::kInsOpenFilter)
                              << QStringList{"Cakewalk Instrument Definition Files (*.ins) (*.ins)",
                                             "All Files (*.*) (*)"};
    QTest::newRow("script open") << scriptOpenFilter()
                                 << QStringList{"Cubase Patchname Script Files (*.txt) (*.txt)",
                                                "All Files (*.*) (*)",
                                                "MIDNAM Files (*.midnam) (*.midnam)",
                                                "REAPER Bank Files (*.reabank) (*.reabank)",
                                                "Rosegarden Device Files (*.rgd) (*.rgd)",
                                                "MusE Instrument Files (*.idf) (*.idf)",
                                                "CSV Spreadsheets (*.csv) (*.csv)",
                                                "Hapax Instrument Definitions (*.txt) (*.txt)"};
    QTest::newRow("script save") << scriptSaveFilter()
                                 << QStringList{"Script-File (*.txt) (*.txt)",
                                                "MIDNAM Files (*.midnam) (*.midnam)",
                                                "REAPER Bank Files (*.reabank) (*.reabank)",
                                                "Rosegarden Device Files (*.rgd) (*.rgd)",
                                                "MusE Instrument Files (*.idf) (*.idf)",
                                                "CSV Spreadsheets (*.csv) (*.csv)",
                                                "Hapax Instrument Definitions (*.txt) (*.txt)"};
    QTest::newRow("ins save") << std::string(messages::kInsSaveFilter)
                              << QStringList{"Instrumentdefinition file (*.ins) (*.ins)"};
    QTest::newRow("several patterns")
        << std::string("Texts|*.txt;*.TXT||") << QStringList{"Texts (*.txt *.TXT)"};
    QTest::newRow("missing final bars") << std::string("Any|*.*") << QStringList{"Any (*)"};
    QTest::newRow("empty") << std::string() << QStringList{};
}

void TestTextCodec::nameFilters()
{
    QFETCH(std::string, classic);
    QFETCH(QStringList, qt);
    QCOMPARE(toQtNameFilters(classic), qt);
}

void TestTextCodec::fileDialogShowsDescriptionsAsWritten()
{
    // The dialog lists each description exactly as the program words it and matches the pattern after it.
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilters(toQtNameFilters(messages::kInsOpenFilter));
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QVERIFY(types != nullptr);
    QCOMPARE(types->count(), 2);
    QCOMPARE(types->itemText(0), QStringLiteral("Cakewalk Instrument Definition Files (*.ins)"));
    QCOMPARE(types->itemText(1), QStringLiteral("All Files (*.*)"));
}

QTEST_MAIN(TestTextCodec)
#include "TestTextCodec.moc"
