#include "ConverterWindow.h"

#include "DialogTemplate.h"
#include "Icon.h"
#include "TextCodec.h"
#include "app/Messages.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <string>
#include <vector>

namespace quorvix::gui {

namespace {

constexpr int kExitId = 1;
constexpr int kInfoId = 1010;

constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kCentre = Qt::AlignHCenter | Qt::AlignVCenter;

// Template 102, in tab order.
constexpr ControlTemplate kMainTemplate[] = {
    {1000, ControlKind::PushButton, "Load Cakewalk Instrumentdefinition", 20, 23, 156, 14},
    {1006, ControlKind::PushButton, "Convert to Cubase Patchname Script", 20, 67, 156, 14},
    {1009, ControlKind::PushButton, "Save Script", 20, 90, 156, 14},
    {1001, ControlKind::ReadOnlyEdit, "", 225, 24, 206, 14, kRight},
    {1002, ControlKind::ReadOnlyEdit, "", 227, 48, 206, 14, kCentre},
    {1004, ControlKind::Label, "File", 198, 27, 17, 8, kRight},
    {1005, ControlKind::Label, "Instrument", 178, 51, 37, 8, kRight},
    {1007, ControlKind::Label, "Script File", 174, 92, 41, 8, kRight},
    {1008, ControlKind::ReadOnlyEdit, "", 225, 90, 208, 14, kRight},
    {kInfoId, ControlKind::PushButton, "Info", 321, 245, 50, 14},
    {kExitId, ControlKind::DefaultPushButton, "Exit", 392, 245, 50, 14},
    {1017, ControlKind::GroupBox, "Cakewalk -> Cubase", 9, 7, 433, 113},
    {1019, ControlKind::GroupBox, "Cubase -> Cakewalk", 9, 139, 433, 101},
    {1020, ControlKind::PushButton, "Load Cubase Patchname Script", 20, 156, 156, 14},
    {1021, ControlKind::Label, "File", 188, 159, 27, 8, kRight},
    {1023, ControlKind::ReadOnlyEdit, "", 225, 157, 208, 14, kRight},
    {1024, ControlKind::PushButton, "Convert to Cakewalk Instrumentdefinition", 20, 186, 158, 14},
    {1025, ControlKind::Label, "Ins File", 187, 218, 28, 8, kRight},
    {1026, ControlKind::ReadOnlyEdit, "", 225, 215, 208, 14, kRight},
    {1027, ControlKind::PushButton, "Save Insfile", 20, 216, 158, 14},
};

constexpr std::array<Button, 6> kButtons = {
    Button::LoadDefinition, Button::ConvertToScript,     Button::SaveScript,
    Button::LoadScript,     Button::ConvertToDefinition, Button::SaveDefinition,
};

constexpr std::array<Field, 5> kFields = {
    Field::DefinitionFile, Field::Instrument, Field::SavedScript, Field::LoadedScript, Field::SavedDefinition,
};

template <typename Array, typename Id>
std::size_t indexOf(const Array& ids, Id id)
{
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (ids[i] == id)
            return i;
    }
    return ids.size();
}

} // namespace

ConverterWindow::ConverterWindow(QWidget* parent)
    : ConverterWindow(MidiLibrary::standard(), systemNow, parent)
{}

ConverterWindow::ConverterWindow(MidiLibrary& library, Clock clock, QWidget* parent)
    : QDialog(parent), m_units(font()), m_host(this), m_core(m_host, library, std::move(clock))
{
    setWindowFlags(kDialogFrame);
    setWindowIcon(applicationIcon());
    buildDialog(*this, QString::fromUtf8(messages::kWindowTitle), 460, 266, kMainTemplate, m_units);

    for (std::size_t i = 0; i < kButtons.size(); ++i)
        m_buttons[i] =
            templateControl<QPushButton>(*this, ControlKind::PushButton, static_cast<int>(kButtons[i]));
    for (std::size_t i = 0; i < kFields.size(); ++i)
        m_fields[i] = templateControl<QLineEdit>(*this, ControlKind::Edit, static_cast<int>(kFields[i]));
    m_exitButton = templateControl<QPushButton>(*this, ControlKind::PushButton, kExitId);
    m_infoButton = templateControl<QPushButton>(*this, ControlKind::PushButton, kInfoId);

    connectCommands();
    setAcceptDrops(true);
    m_host.setStateChangedHandler([this] { stabilize(); });
    m_core.OnInitDialog();
    stabilize();
}

ConverterWindow::~ConverterWindow()
{
    m_host.setStateChangedHandler({});
}

void ConverterWindow::connectCommands()
{
    const auto command = [this](Button id, void (ConverterDialog::*handler)()) {
        connect(button(id), &QPushButton::clicked, this, [this, handler] { (m_core.*handler)(); });
    };
    command(Button::LoadDefinition, &ConverterDialog::LoadInstrumentDefinition);
    command(Button::ConvertToScript, &ConverterDialog::ConvertToCubaseScript);
    command(Button::SaveScript, &ConverterDialog::SaveScript);
    command(Button::LoadScript, &ConverterDialog::LoadCubaseScript);
    command(Button::ConvertToDefinition, &ConverterDialog::ConvertToCakewalkDefinition);
    command(Button::SaveDefinition, &ConverterDialog::SaveInsfile);
    connect(m_infoButton, &QPushButton::clicked, this, [this] { m_core.ShowInfo(); });
    connect(m_exitButton, &QPushButton::clicked, this, &ConverterWindow::exitProgram);
}

void ConverterWindow::exitProgram()
{
    // Only Exit releases the library; Escape and the close box end the window through reject().
    m_core.OnOK();
    accept();
}

QPushButton* ConverterWindow::button(Button id) const
{
    const std::size_t index = indexOf(kButtons, id);
    return index < m_buttons.size() ? m_buttons[index] : nullptr;
}

QLineEdit* ConverterWindow::field(Field id) const
{
    const std::size_t index = indexOf(kFields, id);
    return index < m_fields.size() ? m_fields[index] : nullptr;
}

void ConverterWindow::stabilize()
{
    for (std::size_t i = 0; i < kButtons.size(); ++i)
        m_buttons[i]->setEnabled(m_core.isEnabled(kButtons[i]));
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        const QString text = displayText(m_core.fieldText(kFields[i]));
        if (m_fields[i]->text() != text)
            m_fields[i]->setText(text);
    }
}

} // namespace quorvix::gui

namespace quorvix::gui {

void ConverterWindow::openFiles(const QStringList& paths)
{
    std::vector<std::string> files;
    files.reserve(static_cast<std::size_t>(paths.size()));
    for (const QString& path : paths)
        files.push_back(pathBytes(path));
    m_core.openFiles(files);
}

void ConverterWindow::openFilesLater(const QStringList& paths)
{
    if (!paths.isEmpty())
        QTimer::singleShot(0, this, [this, paths] { openFiles(paths); });
}

QStringList ConverterWindow::droppedFiles(const QMimeData* data)
{
    QStringList files;
    if (data == nullptr || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            return {};
        files.append(url.toLocalFile());
    }
    return files;
}

bool ConverterWindow::acceptsDrop(const QMimeData* data) const
{
    const QStringList files = droppedFiles(data);
    return !files.isEmpty() && m_core.canOpen(pathBytes(files.constFirst()));
}

void ConverterWindow::dragEnterEvent(QDragEnterEvent* event)
{
    // Judged once per drag: the file's first bytes are read here, not at every move.
    m_dragAccepted = acceptsDrop(event->mimeData());
    if (m_dragAccepted)
        event->acceptProposedAction();
    else
        event->ignore();
}

void ConverterWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (m_dragAccepted)
        event->acceptProposedAction();
    else
        event->ignore();
}

void ConverterWindow::dropEvent(QDropEvent* event)
{
    if (!acceptsDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    openFilesLater(droppedFiles(event->mimeData()));
}

} // namespace quorvix::gui
