// The "Select Instrumentendefinition" dialog over a library that hands out chosen definition names.

#include "GuiTestSupport.h"
#include "QtDialogHost.h"
#include "SelectDefinitionWindow.h"
#include "app/SelectDefinitionDialog.h"

#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <cstring>
#include <string>
#include <vector>

using namespace quorvix;
using namespace quorvix::gui;
using namespace quorvix::gui::test;

namespace {

/// Hands out the given definitions and records what the dialog tells it.
class ScriptedLibrary : public MidiLibrary
{
public:
    explicit ScriptedLibrary(std::vector<std::string> names) : m_names(std::move(names)) {}

    std::uint32_t CWInsGetDefs(MIDIFile*, ZT_cwdef** defs, int* count) override
    {
        *defs = new ZT_cwdef[m_names.size()]{};
        for (std::size_t i = 0; i < m_names.size(); ++i)
            std::strncpy((*defs)[i].name, m_names[i].c_str(), sizeof((*defs)[i].name) - 1);
        *count = static_cast<int>(m_names.size());
        ++handedOut;
        return 0;
    }
    void Delete(void* array) override
    {
        ++released;
        delete[] static_cast<ZT_cwdef*>(array);
    }
    std::uint32_t CWInsSetDef(MIDIFile*, int index) override
    {
        chosen.push_back(index);
        return refuse ? 1 : 0;
    }

    int handedOut = 0;
    int released = 0;
    std::vector<int> chosen;
    bool refuse = false;

private:
    std::vector<std::string> m_names;
};

QStringList items(const QComboBox* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->itemText(i);
    return names;
}

} // namespace

class TestSelectDefinitionWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_scope = new QObject(this); }
    void cleanup() { delete m_scope; }

    void listsInFileOrder();
    void okChoosesTheSelectedEntry_data();
    void okChoosesTheSelectedEntry();
    void cancelWays_data();
    void cancelWays();
    void emptyList_data();
    void emptyList();
    void refusedChoiceIsReportedByTheDialog();

private:
    QObject* m_scope = nullptr;
};

void TestSelectDefinitionWindow::listsInFileOrder()
{
    ScriptedLibrary library({"Zeta", "Alpha", "Mu", "Alpha", "Caf\xE9 Synth"});
    QtDialogHost host;
    SelectDefinitionDialog logic(host, library);
    SelectDefinitionWindow window(logic);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(window.windowTitle(), QStringLiteral("Select Instrumentendefinition"));
    QCOMPARE(window.okButton()->text(), QStringLiteral("OK"));
    QCOMPARE(window.cancelButton()->text(), QStringLiteral("Abbrechen"));
    QVERIFY(window.okButton()->isDefault());
    QVERIFY(!window.cancelButton()->isDefault());
    QVERIFY(window.okButton()->x() < window.cancelButton()->x());
    QVERIFY(!(window.definitionList()->focusPolicy() & Qt::TabFocus));
    // Unsorted, in the library's order, names from the file decoded for display; the first is preselected.
    QCOMPARE(items(window.definitionList()), (QStringList{"Zeta", "Alpha", "Mu", "Alpha", "Café Synth"}));
    QCOMPARE(window.definitionList()->currentIndex(), 0);
    QCOMPARE(library.handedOut, 1);
    QCOMPARE(library.released, 0);
    QCOMPARE(window.size(), QSize((154 * DialogUnits(window.font()).baseWidth() + 2) / 4,
                                  (113 * DialogUnits(window.font()).baseHeight() + 4) / 8));
}

void TestSelectDefinitionWindow::okChoosesTheSelectedEntry_data()
{
    QTest::addColumn<int>("select");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("OK at once takes the first") << -2 << QByteArray("Zeta");
    QTest::newRow("the second of two equal names") << 3 << QByteArray("Alpha");
    QTest::newRow("the last") << 4 << QByteArray("Caf\xE9 Synth");
}

void TestSelectDefinitionWindow::okChoosesTheSelectedEntry()
{
    QFETCH(int, select);
    QFETCH(QByteArray, name);
    ScriptedLibrary library({"Zeta", "Alpha", "Mu", "Alpha", "Caf\xE9 Synth"});
    QtDialogHost host;
    SelectDefinitionDialog logic(host, library);
    SelectDefinitionWindow window(logic);
    window.show();
    if (select >= 0)
        window.definitionList()->setCurrentIndex(select);
    QTest::mouseClick(window.okButton(), Qt::LeftButton);

    QCOMPARE(window.result(), int(QDialog::Accepted));
    QVERIFY(!window.isVisible());
    QCOMPARE(library.chosen, std::vector<int>{qMax(select, 0)});
    QCOMPARE(QByteArray::fromStdString(logic.m_definitionName), name);
    QCOMPARE(library.released, 1);
}

void TestSelectDefinitionWindow::cancelWays_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Abbrechen") << "button";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close box") << "close";
}

void TestSelectDefinitionWindow::cancelWays()
{
    QFETCH(QString, how);
    ScriptedLibrary library({"One", "Two"});
    QtDialogHost host;
    SelectDefinitionDialog logic(host, library);
    SelectDefinitionWindow window(logic);
    window.show();
    window.definitionList()->setCurrentIndex(1);
    if (how == "button")
        QTest::mouseClick(window.cancelButton(), Qt::LeftButton);
    else if (how == "escape")
        QTest::keyClick(&window, Qt::Key_Escape);
    else
        window.close();

    QCOMPARE(window.result(), int(QDialog::Rejected));
    QVERIFY(!window.isVisible());
    QVERIFY(library.chosen.empty());
    QVERIFY(logic.m_definitionName.empty());
    QCOMPARE(library.released, 1);
}

void TestSelectDefinitionWindow::emptyList_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK") << true;
    QTest::newRow("Abbrechen") << false;
}

void TestSelectDefinitionWindow::emptyList()
{
    QFETCH(bool, ok);
    ScriptedLibrary library({});
    QtDialogHost host;
    SelectDefinitionDialog logic(host, library);
    SelectDefinitionWindow window(logic);
    window.show();
    QCOMPARE(window.definitionList()->count(), 0);
    QCOMPARE(window.definitionList()->currentIndex(), -1);
    QTest::mouseClick(ok ? window.okButton() : window.cancelButton(), Qt::LeftButton);

    // Nothing to choose: both end as Cancel, without asking the library, and the array goes back once.
    QCOMPARE(window.result(), int(QDialog::Rejected));
    QVERIFY(!window.isVisible());
    QVERIFY(library.chosen.empty());
    QCOMPARE(library.released, 1);
}

void TestSelectDefinitionWindow::refusedChoiceIsReportedByTheDialog()
{
    new ModalGuard(8000, m_scope);
    ScriptedLibrary library({"One", "Two"});
    library.refuse = true;
    QWidget mainWindow;
    mainWindow.show();
    QtDialogHost host(&mainWindow);
    SelectDefinitionDialog logic(host, library);

    QWidget* selectionWindow = nullptr;
    QWidget* boxOwner = nullptr;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::Critical;
    int buttonCount = 0;
    auto* script = new ModalScript(m_scope);
    script->then(onDialog<SelectDefinitionWindow>([&](SelectDefinitionWindow* window) {
        selectionWindow = window;
        window->definitionList()->setCurrentIndex(1);
        window->okButton()->click();
    }));
    script->then(onDialog<QMessageBox>([&](QMessageBox* box) {
        boxOwner = box->parentWidget();
        caption = box->windowTitle();
        icon = box->icon();
        buttonCount = int(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    }));
    const bool accepted = host.runSelectDefinition(logic);

    QVERIFY2(script->finished(), qPrintable(script->seen().join(" | ")));
    QCOMPARE(script->seen(),
             (QStringList{"[Select Instrumentendefinition]", "Error: Open Instrumentdefinition"}));
    QVERIFY(!accepted);
    QCOMPARE(library.chosen, std::vector<int>{1});
    QVERIFY(logic.m_definitionName.empty());
    QCOMPARE(library.released, 1);
    // The box belongs to the selection dialog and looks like every other message of the program.
    QVERIFY(boxOwner != nullptr);
    QCOMPARE(boxOwner, selectionWindow);
    QCOMPARE(caption, QStringLiteral("test_gui_select_definition_window"));
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(buttonCount, 1);
}

QTEST_MAIN(TestSelectDefinitionWindow)
#include "TestSelectDefinitionWindow.moc"
