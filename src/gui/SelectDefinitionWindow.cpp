#include "SelectDefinitionWindow.h"

#include "DialogTemplate.h"
#include "TextCodec.h"
#include "app/Messages.h"
#include "app/SelectDefinitionDialog.h"

#include <QComboBox>
#include <QPushButton>

namespace quorvix::gui {

namespace {

constexpr int kListId = 1003;
constexpr int kListHeight = 80; // with the list opened

// Template 129, in tab order.
constexpr ControlTemplate kSelectTemplate[] = {
    {1, ControlKind::DefaultPushButton, "OK", 14, 81, 50, 14},
    {2, ControlKind::PushButton, "Abbrechen", 85, 81, 50, 14},
    {kListId, ControlKind::DropDownList, "", 31, 7, 97, kListHeight},
};

} // namespace

SelectDefinitionWindow::SelectDefinitionWindow(SelectDefinitionDialog& logic, QWidget* parent)
    : QDialog(parent), m_logic(logic)
{
    setWindowFlags(kDialogFrame);
    const DialogUnits units(font());
    buildDialog(*this, QString::fromUtf8(messages::kSelectDefinitionTitle), 154, 113, kSelectTemplate, units);
    m_ok = templateControl<QPushButton>(*this, ControlKind::PushButton, 1);
    m_cancel = templateControl<QPushButton>(*this, ControlKind::PushButton, 2);
    m_list = templateControl<QComboBox>(*this, ControlKind::DropDownList, kListId);

    // The template's height holds the closed box and its opened list.
    const int closedHeight = m_list->sizeHint().height();
    const QRect area = m_list->geometry();
    m_list->setGeometry(area.x(), area.y(), area.width(), closedHeight);
    const int rowHeight = qMax(1, m_list->fontMetrics().height());
    m_list->setMaxVisibleItems(qMax(1, (area.height() - closedHeight) / rowHeight));
    m_list->setFocusPolicy(Qt::ClickFocus); // not a tab stop
    m_list->setInsertPolicy(QComboBox::NoInsert);

    // Inserted by position, never sorted: a list index is the definition's index in the file.
    const std::vector<std::string> names = m_logic.OnInitDialog();
    for (std::size_t i = 0; i < names.size(); ++i)
        m_list->insertItem(static_cast<int>(i), displayText(names[i]));
    if (m_list->count() > 0)
        m_list->setCurrentIndex(0);

    connect(m_ok, &QPushButton::clicked, this, &SelectDefinitionWindow::choose);
    connect(m_cancel, &QPushButton::clicked, this, &SelectDefinitionWindow::reject);
}

void SelectDefinitionWindow::choose()
{
    const auto result = m_logic.OnOK(m_list->currentIndex());
    done(result == SelectDefinitionDialog::Result::Ok ? Accepted : Rejected);
}

void SelectDefinitionWindow::reject()
{
    m_logic.OnCancel();
    QDialog::reject();
}

} // namespace quorvix::gui
