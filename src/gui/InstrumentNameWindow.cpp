#include "InstrumentNameWindow.h"

#include "DialogTemplate.h"
#include "TextCodec.h"
#include "app/InstrumentNameDialog.h"
#include "app/Messages.h"

#include <QLineEdit>
#include <QPushButton>

namespace quorvix::gui {

namespace {

constexpr int kEditId = 1030;

// Template 131, in tab order: the field, then "Cancel" left of "OK".
constexpr ControlTemplate kNameTemplate[] = {
    {kEditId, ControlKind::Edit, "", 22, 19, 140, 14},
    {2, ControlKind::PushButton, "Cancel", 30, 48, 50, 14},
    {1, ControlKind::DefaultPushButton, "OK", 103, 48, 50, 14},
};

} // namespace

InstrumentNameWindow::InstrumentNameWindow(InstrumentNameDialog& logic, QWidget* parent)
    : QDialog(parent), m_logic(logic)
{
    setWindowFlags(kDialogFrame);
    const DialogUnits units(font());
    buildDialog(*this, QString::fromUtf8(messages::kInstrumentNameTitle), 186, 69, kNameTemplate, units);
    m_edit = templateControl<QLineEdit>(*this, ControlKind::Edit, kEditId);
    m_ok = templateControl<QPushButton>(*this, ControlKind::PushButton, 1);
    m_cancel = templateControl<QPushButton>(*this, ControlKind::PushButton, 2);
    if (!logic.m_proposedName.empty()) {
        m_edit->setText(displayText(logic.m_proposedName));
        m_edit->selectAll(); // typing replaces the proposal
    }
    m_edit->setFocus(); // the user can type at once

    connect(m_ok, &QPushButton::clicked, this, &InstrumentNameWindow::confirm);
    connect(m_cancel, &QPushButton::clicked, this, &InstrumentNameWindow::reject);
}

void InstrumentNameWindow::confirm()
{
    // A kept proposal goes back as the document's bytes, so that characters beyond Windows-1252 survive.
    const std::string& proposed = m_logic.m_proposedName;
    const bool kept = !proposed.empty() && m_edit->text() == displayText(proposed);
    if (m_logic.OnOK(kept ? proposed : toWindows1252(m_edit->text())))
        accept();
}

} // namespace quorvix::gui
