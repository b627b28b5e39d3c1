// The "Insert Instrument Name" dialog: only a non-empty name closes it, and the name goes to the core as
// Windows-1252 bytes.

#include "DialogUnits.h"
#include "InstrumentNameWindow.h"
#include "app/InstrumentNameDialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace quorvix;
using namespace quorvix::gui;

class TestInstrumentNameWindow : public QObject
{
    Q_OBJECT

private slots:
    void layoutAndFocus();
    void emptyNameKeepsTheDialogOpen();
    void typedNameIsAccepted();
    void nameIsEncodedAsWindows1252_data();
    void nameIsEncodedAsWindows1252();
    void cancelWays_data();
    void cancelWays();
};

void TestInstrumentNameWindow::layoutAndFocus()
{
    InstrumentNameDialog logic;
    InstrumentNameWindow window(logic);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    QCOMPARE(window.windowTitle(), QStringLiteral("Insert Instrument Name"));
    QCOMPARE(window.cancelButton()->text(), QStringLiteral("Cancel"));
    QCOMPARE(window.okButton()->text(), QStringLiteral("OK"));
    QVERIFY(window.cancelButton()->x() < window.okButton()->x());
    QVERIFY(window.okButton()->isDefault());
    QVERIFY(window.nameEdit()->text().isEmpty());
    QCOMPARE(QApplication::focusWidget(), window.nameEdit());
    const DialogUnits units(window.font());
    QCOMPARE(window.size(), units.size(186, 69));
    QCOMPARE(window.nameEdit()->geometry(), units.rect(22, 19, 140, 14));
}

void TestInstrumentNameWindow::emptyNameKeepsTheDialogOpen()
{
    InstrumentNameDialog logic;
    InstrumentNameWindow window(logic);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTest::mouseClick(window.okButton(), Qt::LeftButton);
    QVERIFY(window.isVisible());
    QTest::keyClick(window.nameEdit(), Qt::Key_Return);
    QVERIFY(window.isVisible());
    QCOMPARE(window.result(), int(QDialog::Rejected)); // not ended
    QVERIFY(logic.m_enteredName.empty());

    // The user may still type a name and confirm it.
    QTest::keyClicks(window.nameEdit(), QStringLiteral("Piano 1"));
    QTest::keyClick(window.nameEdit(), Qt::Key_Return);
    QVERIFY(!window.isVisible());
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QCOMPARE(logic.m_enteredName, std::string("Piano 1"));
}

void TestInstrumentNameWindow::typedNameIsAccepted()
{
    // Taken as typed: a single space is a name.
    InstrumentNameDialog logic;
    InstrumentNameWindow window(logic);
    window.show();
    QTest::keyClicks(window.nameEdit(), QStringLiteral(" "));
    QTest::mouseClick(window.okButton(), Qt::LeftButton);
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QCOMPARE(logic.m_enteredName, std::string(" "));
}

void TestInstrumentNameWindow::nameIsEncodedAsWindows1252_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("accents and euro") << QStringLiteral("Café Ü €") << QByteArray("Caf\xE9 \xDC \x80");
    QTest::newRow("characters it cannot hold") << QStringLiteral("Synth 日本") << QByteArray("Synth ??");
    QTest::newRow("one question mark per character") << QStringLiteral("🎹 Keys") << QByteArray("? Keys");
}

void TestInstrumentNameWindow::nameIsEncodedAsWindows1252()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, bytes);
    InstrumentNameDialog logic;
    InstrumentNameWindow window(logic);
    window.show();
    window.nameEdit()->setText(typed);
    QTest::mouseClick(window.okButton(), Qt::LeftButton);
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QCOMPARE(QByteArray::fromStdString(logic.m_enteredName), bytes);
}

void TestInstrumentNameWindow::cancelWays_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << "button";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close box") << "close";
}

void TestInstrumentNameWindow::cancelWays()
{
    QFETCH(QString, how);
    InstrumentNameDialog logic;
    InstrumentNameWindow window(logic);
    window.show();
    window.nameEdit()->setText(QStringLiteral("Unused"));
    if (how == "button")
        QTest::mouseClick(window.cancelButton(), Qt::LeftButton);
    else if (how == "escape")
        QTest::keyClick(window.nameEdit(), Qt::Key_Escape);
    else
        window.close();
    QVERIFY(!window.isVisible());
    QCOMPARE(window.result(), int(QDialog::Rejected));
}

QTEST_MAIN(TestInstrumentNameWindow)
#include "TestInstrumentNameWindow.moc"
