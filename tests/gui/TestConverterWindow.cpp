// The main window as the user meets it: texts, layout, first button states, Info, and the three ways out.

#include "ConverterWindow.h"
#include "GuiTestSupport.h"
#include "InfoDialog.h"
#include "app/InfoTexts.h"
#include "app/Messages.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace quorvix;
using namespace quorvix::gui;
using namespace quorvix::gui::test;

namespace {

/// The real library, with the handle calls counted.
class CountingLibrary : public MidiLibrary
{
public:
    MIDIFile* Init() override
    {
        ++inits;
        return MidiLibrary::Init();
    }
    std::uint32_t Free(MIDIFile* file) override
    {
        ++frees;
        return MidiLibrary::Free(file);
    }
    int inits = 0;
    int frees = 0;
};

struct Control
{
    const char* name;
    const char* text;
    int x, y, width, height;
};

// Template 102: every control with its text and rectangle in dialog units.
const Control kControls[] = {
    {"button1000", "Load Cakewalk Instrumentdefinition", 20, 23, 156, 14},
    {"button1006", "Convert to Cubase Patchname Script", 20, 67, 156, 14},
    {"button1009", "Save Script", 20, 90, 156, 14},
    {"edit1001", "", 225, 24, 206, 14},
    {"edit1002", "", 227, 48, 206, 14},
    {"label1004", "File", 198, 27, 17, 8},
    {"label1005", "Instrument", 178, 51, 37, 8},
    {"label1007", "Script File", 174, 92, 41, 8},
    {"edit1008", "", 225, 90, 208, 14},
    {"button1010", "Info", 321, 245, 50, 14},
    {"button1", "Exit", 392, 245, 50, 14},
    {"group1017", "Cakewalk -> Cubase", 9, 7, 433, 113},
    {"group1019", "Cubase -> Cakewalk", 9, 139, 433, 101},
    {"button1020", "Load Cubase Patchname Script", 20, 156, 156, 14},
    {"label1021", "File", 188, 159, 27, 8},
    {"edit1023", "", 225, 157, 208, 14},
    {"button1024", "Convert to Cakewalk Instrumentdefinition", 20, 186, 158, 14},
    {"label1025", "Ins File", 187, 218, 28, 8},
    {"edit1026", "", 225, 215, 208, 14},
    {"button1027", "Save Insfile", 20, 216, 158, 14},
};

QString textOf(QWidget* widget)
{
    if (auto* button = qobject_cast<QPushButton*>(widget))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget))
        return group->title();
    return QStringLiteral("<unknown widget>");
}

/// Every button's enabled state and every field's text, in template order.
QStringList snapshot(const ConverterWindow& window)
{
    QStringList state;
    for (const Control& control : kControls) {
        auto* widget = window.findChild<QWidget*>(QLatin1String(control.name));
        state << QStringLiteral("%1=%2:%3").arg(control.name).arg(widget->isEnabled()).arg(textOf(widget));
    }
    return state;
}

} // namespace

class TestConverterWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_scope = new QObject(this); }
    void cleanup() { delete m_scope; }

    void startState();
    void layoutFollowsTheTemplate();
    void tabOrder();
    void infoLeavesEverythingAsItWas();
    void waysOut_data();
    void waysOut();

private:
    QObject* m_scope = nullptr;
};

void TestConverterWindow::startState()
{
    ConverterWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(window.windowTitle(),
             QStringLiteral("Quorvix: Cakewalk Instrument Definitions <=> Cubase Patchname Scripts"));
    for (const Control& control : kControls) {
        auto* widget = window.findChild<QWidget*>(QLatin1String(control.name));
        QVERIFY2(widget != nullptr, control.name);
        QCOMPARE(textOf(widget), QString::fromUtf8(control.text));
    }

    const std::pair<Button, bool> buttons[] = {
        {Button::LoadDefinition, true}, {Button::ConvertToScript, false},     {Button::SaveScript, false},
        {Button::LoadScript, true},     {Button::ConvertToDefinition, false}, {Button::SaveDefinition, false},
    };
    for (const auto& [id, enabled] : buttons)
        QCOMPARE(window.button(id)->isEnabled(), enabled);
    QVERIFY(window.infoButton()->isEnabled());
    QVERIFY(window.exitButton()->isEnabled());

    // Exit is the one default button: Enter anywhere but on another button ends the program.
    QVERIFY(window.exitButton()->isDefault());
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button != window.exitButton())
            QVERIFY2(!button->isDefault(), qPrintable(button->text()));
    }

    // Read-only fields: paths right-aligned (their end stays visible), the instrument centred.
    const std::pair<Field, Qt::Alignment> fields[] = {
        {Field::DefinitionFile, Qt::AlignRight},  {Field::Instrument, Qt::AlignHCenter},
        {Field::SavedScript, Qt::AlignRight},     {Field::LoadedScript, Qt::AlignRight},
        {Field::SavedDefinition, Qt::AlignRight},
    };
    for (const auto& [id, alignment] : fields) {
        QLineEdit* field = window.field(id);
        QVERIFY(field->isReadOnly());
        QVERIFY(field->text().isEmpty());
        QCOMPARE(field->alignment() & Qt::AlignHorizontal_Mask, alignment);
    }

    // A fixed frame with a close box, no minimise or maximise button.
    QCOMPARE(window.minimumSize(), window.maximumSize());
    QVERIFY(!window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(window.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!window.windowIcon().isNull());
}

void TestConverterWindow::layoutFollowsTheTemplate()
{
    ConverterWindow window;
    const DialogUnits& units = window.units();
    const QFontMetrics metrics(window.font());
    QVERIFY(units.baseWidth() > 0 && units.baseHeight() > 0);

    // The client area is 460 x 266 dialog units of the window's own font.
    QCOMPARE(window.size(), QSize((460 * units.baseWidth() + 2) / 4, (266 * units.baseHeight() + 4) / 8));
    const double unitRatio = (units.baseWidth() / 4.0) / (units.baseHeight() / 8.0);
    QVERIFY(qAbs(double(window.width()) / window.height() - unitRatio * 460.0 / 266.0) < 0.01);

    for (const Control& control : kControls) {
        auto* widget = window.findChild<QWidget*>(QLatin1String(control.name));
        const QRect area = units.rect(control.x, control.y, control.width, control.height);
        const int textWidth = metrics.horizontalAdvance(QString::fromUtf8(control.text));
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            // A label too narrow for this font grows to the left; its right edge stays.
            QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
            QCOMPARE(label->geometry().right(), area.right());
            QCOMPARE(label->geometry().top(), area.top());
            QCOMPARE(label->height(), area.height());
            QCOMPARE(label->width(), qMax(area.width(), textWidth));
        } else {
            QCOMPARE(widget->geometry(), area);
        }
        QVERIFY2(window.rect().contains(widget->geometry()), control.name);
        // Every text can be read whole.
        QVERIFY2(textWidth <= widget->width() - (qobject_cast<QPushButton*>(widget) ? 8 : 0), control.name);
    }
}

void TestConverterWindow::tabOrder()
{
    ConverterWindow window;
    QStringList expected;
    for (const Control& control : kControls) {
        if (QLatin1String(control.name).startsWith(QLatin1String("group")) ||
            QLatin1String(control.name).startsWith(QLatin1String("label")))
            continue;
        expected << QLatin1String(control.name);
    }
    QStringList chain;
    QWidget* widget = window.button(Button::LoadDefinition);
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            chain << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != window.button(Button::LoadDefinition) && chain.size() <= expected.size());
    QCOMPARE(chain, expected);
}

void TestConverterWindow::infoLeavesEverythingAsItWas()
{
    new ModalGuard(8000, m_scope);
    ConverterWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // Away from the start state first: a cancelled load leaves only that command enabled.
    auto* cancelLoad = new ModalScript(m_scope);
    cancelLoad->then(cancelDialog());
    window.button(Button::LoadDefinition)->click();
    QVERIFY2(cancelLoad->finished(), qPrintable(cancelLoad->seen().join(" | ")));
    QCOMPARE(window.button(Button::LoadScript)->isEnabled(), false);
    const QStringList before = snapshot(window);

    QStringList infoTexts;
    bool hasPushButton = true;
    bool toolWindow = false;
    bool hasIcon = false;
    auto* script = new ModalScript(m_scope);
    script->then(onDialog<InfoDialog>([&](InfoDialog* info) {
        for (const char* name :
             {"label1011", "label1018", "label1012", "label1013", "label1014", "label1015", "label1016"})
            infoTexts << info->findChild<QLabel*>(QLatin1String(name))->text();
        hasPushButton = !info->findChildren<QPushButton*>().isEmpty();
        toolWindow = (info->windowFlags() & Qt::WindowType_Mask) == Qt::Tool;
        const auto* icon = info->findChild<QLabel*>(QStringLiteral("icon"));
        hasIcon = icon != nullptr && !icon->pixmap().isNull();
        QTest::keyClick(info, Qt::Key_Escape);
    }));
    window.infoButton()->click();
    QVERIFY2(script->finished(), qPrintable(script->seen().join(" | ")));
    QCOMPARE(script->seen(), QStringList{"[Info]"});
    QCOMPARE(infoTexts,
             (QStringList{info::kProgramName, info::kVersionLine, info::kLibraryLine, info::kLegalNotice,
                          info::kContact, info::kWebAddress, info::kReaderDocs}));
    QCOMPARE(infoTexts.at(0), QStringLiteral("Quorvix"));
    QCOMPARE(infoTexts.at(1), QStringLiteral("Version 2.0"));
    QVERIFY(!hasPushButton);
    QVERIFY(toolWindow);
    QVERIFY(hasIcon);
    QCOMPARE(snapshot(window), before);

    // Enter closes the box too.
    auto* byEnter = new ModalScript(m_scope);
    byEnter->then(onDialog<InfoDialog>([](InfoDialog* info) { QTest::keyClick(info, Qt::Key_Return); }));
    window.infoButton()->click();
    QVERIFY2(byEnter->finished(), qPrintable(byEnter->seen().join(" | ")));
    QCOMPARE(snapshot(window), before);
}

void TestConverterWindow::waysOut_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("frees");
    // Only Exit releases the library handle; Enter on a read-only field presses Exit, the default button.
    QTest::newRow("Exit") << "exit" << int(QDialog::Accepted) << 1;
    QTest::newRow("Enter in a field") << "enter" << int(QDialog::Accepted) << 1;
    QTest::newRow("Escape") << "escape" << int(QDialog::Rejected) << 0;
    QTest::newRow("close box") << "close" << int(QDialog::Rejected) << 0;
}

void TestConverterWindow::waysOut()
{
    QFETCH(QString, how);
    QFETCH(int, result);
    QFETCH(int, frees);
    new ModalGuard(8000, m_scope);
    CountingLibrary library;
    ConverterWindow window(library, [] { return std::time_t{0}; });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // A cancelled load still creates a library handle.
    auto* script = new ModalScript(m_scope);
    script->then(cancelDialog());
    window.button(Button::LoadDefinition)->click();
    QVERIFY2(script->finished(), qPrintable(script->seen().join(" | ")));
    QCOMPARE(library.inits, 1);
    QVERIFY(window.core().hasLibrary());

    QSignalSpy finished(&window, &QDialog::finished);
    if (how == "exit")
        window.exitButton()->click();
    else if (how == "enter")
        QTest::keyClick(window.field(Field::Instrument), Qt::Key_Return);
    else if (how == "escape")
        QTest::keyClick(&window, Qt::Key_Escape);
    else
        window.close();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(window.result(), result);
    QVERIFY(!window.isVisible());
    QCOMPARE(library.frees, frees);
}

QTEST_MAIN(TestConverterWindow)
#include "TestConverterWindow.moc"
