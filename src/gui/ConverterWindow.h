#pragma once

#include "DialogUnits.h"
#include "QtDialogHost.h"
#include "app/ConverterDialog.h"

#include <QDialog>
#include <QStringList>
#include <array>

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QLineEdit;
class QMimeData;
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

    /// Opens the first of the files as its load command would, naming the others in a message
    /// (ConverterDialog::openFiles).
    void openFiles(const QStringList& paths);
    /// The same once the event loop runs, so that the window is shown first.
    void openFilesLater(const QStringList& paths);

protected:
    /// A drag of local files is accepted when the load command of the first file is enabled.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    /// Opens the dropped files after the drop has ended, so that the program they come from is not kept
    /// waiting while the load's dialogs are open.
    void dropEvent(QDropEvent* event) override;

private:
    /// The local files a drag carries; empty when it carries anything else.
    static QStringList droppedFiles(const QMimeData* data);
    bool acceptsDrop(const QMimeData* data) const;

    void connectCommands();
    void exitProgram();

    DialogUnits m_units;
    QtDialogHost m_host;
    ConverterDialog m_core;
    std::array<QPushButton*, 6> m_buttons{};
    std::array<QLineEdit*, 5> m_fields{};
    QPushButton* m_exitButton = nullptr;
    QPushButton* m_infoButton = nullptr;
    bool m_dragAccepted = false;
};

} // namespace quorvix::gui
