#pragma once

#include "DialogUnits.h"
#include "QtDialogHost.h"
#include "app/ConverterDialog.h"

#include <QDialog>
#include <array>

class QLineEdit;
class QPushButton;

namespace quorvix::gui {

/// The main window: template 102 laid out in dialog units. It holds no logic of its own: every button calls
/// the matching command of the core's ConverterDialog, and stabilize() copies the core's button states and
/// field texts into the widgets whenever the core reports a change.
class ConverterWindow : public QDialog
{
    Q_OBJECT

public:
    explicit ConverterWindow(QWidget* parent = nullptr);
    /// A window over the given library and clock (tests substitute them).
    ConverterWindow(MidiLibrary& library, Clock clock, QWidget* parent = nullptr);
    ~ConverterWindow() override;

    ConverterDialog& core() { return m_core; }
    QtDialogHost& host() { return m_host; }
    const DialogUnits& units() const { return m_units; }

    QPushButton* button(Button id) const;
    QPushButton* exitButton() const { return m_exitButton; }
    QPushButton* infoButton() const { return m_infoButton; }
    QLineEdit* field(Field id) const;

    /// Shows the core's six button states and five field texts.
    void stabilize();

private:
    void connectCommands();
    void exitProgram();

    DialogUnits m_units;
    QtDialogHost m_host;
    ConverterDialog m_core;
    std::array<QPushButton*, 6> m_buttons{};
    std::array<QLineEdit*, 5> m_fields{};
    QPushButton* m_exitButton = nullptr;
    QPushButton* m_infoButton = nullptr;
};

} // namespace quorvix::gui
