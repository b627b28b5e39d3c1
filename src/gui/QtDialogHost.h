#pragma once

#include "app/DialogHost.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>

namespace quorvix::gui {

/// The filter of a file dialog in Qt's notation, one entry per "description|pattern" pair of the classic
/// notation ("desc|pattern|...||"). Each entry keeps its description and lists the pattern in parentheses
/// after it, with ";" between patterns turned into spaces and "*.*" into "*" (so files without an extension
/// match). A description without a pattern becomes an entry that matches every file.
QStringList toQtNameFilters(std::string_view classicFilter);

/// The extension a name filter of toQtNameFilters() stands for: that of its first pattern when it is "*.EXT"
/// with no wildcard in EXT; empty otherwise.
QString nameFilterSuffix(const QString& nameFilter);

/// The caption of every message box: the base name of the executable.
QString messageCaption();

/// The modal interactions of the main window, with real Qt dialogs owned by the main window.
class QtDialogHost : public DialogHost
{
public:
    explicit QtDialogHost(QWidget* mainWindow = nullptr) : m_mainWindow(mainWindow) {}

    void setMainWindow(QWidget* window) { m_mainWindow = window; }
    /// What stateChanged() runs (the window's stabilize()).
    void setStateChangedHandler(std::function<void()> handler) { m_onStateChanged = std::move(handler); }

    void stateChanged() override;
    std::optional<std::string> openFile(const FileDialogRequest& request) override;
    std::optional<SaveChoice> saveFile(const FileDialogRequest& request) override;
    void message(std::string_view text, MessageOwner owner = MessageOwner::MainWindow,
                 bool taskModal = false) override;
    void error(std::string_view text) override;
    bool askYesNo(std::string_view text) override;
    bool runSelectDefinition(SelectDefinitionDialog& dialog) override;
    bool runInstrumentName(InstrumentNameDialog& dialog) override;
    void runInfo() override;

private:
    std::optional<SaveChoice> runFileDialog(const FileDialogRequest& request, bool save);

    QPointer<QWidget> m_mainWindow;
    QPointer<QWidget> m_selectionWindow;
    std::function<void()> m_onStateChanged;
};

} // namespace quorvix::gui
