#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorvix {

class SelectDefinitionDialog;
class InstrumentNameDialog;

/// What an open or save file dialog shows.
struct FileDialogRequest
{
    /// Filter in the classic notation: description and pattern separated by "|", ended by "||", e.g.
    /// "Script-File (*.txt)|*.txt||".
    std::string filter;
    /// Extension appended when the user types a name without one ("txt", "ins").
    std::string defaultExtension;
    /// File name (or full path) proposed in the dialog; empty for none.
    std::string initialName;
};

/// What the user chose in a save-file dialog.
struct SaveChoice
{
    std::string path;
    /// The file type selected when the dialog closed: the index of its "description|pattern" pair in the
    /// request's filter (0 for the first).
    std::size_t fileType = 0;
};

/// Which window owns a message box.
enum class MessageOwner
{
    MainWindow,
    SelectionDialog,
};

/// The modal interactions of the main window. The desktop program implements them with real dialogs; tests
/// implement them with scripted answers. Texts and paths are bytes as the core holds them.
class DialogHost
{
public:
    virtual ~DialogHost() = default;

    /// Called whenever a button state or a read-only field of the main window changes.
    virtual void stateChanged() = 0;

    /// Open-file dialog for an existing file; nullopt when cancelled.
    virtual std::optional<std::string> openFile(const FileDialogRequest& request) = 0;
    /// Save-file dialog; nullopt when cancelled. Asks nothing about existing files. A name typed without an
    /// extension gets the one of the selected file type.
    virtual std::optional<SaveChoice> saveFile(const FileDialogRequest& request) = 0;

    /// Message box with one OK button and the program's name as caption. A task-modal box blocks every
    /// window of the program.
    virtual void message(std::string_view text, MessageOwner owner = MessageOwner::MainWindow,
                         bool taskModal = false) = 0;
    /// Message box for a failure the system reported (a file that cannot be written).
    virtual void error(std::string_view text) = 0;
    /// Yes/No question; true only for Yes.
    virtual bool askYesNo(std::string_view text) = 0;

    /// Runs the instrument definition selection modally; true when it ended with OK.
    virtual bool runSelectDefinition(SelectDefinitionDialog& dialog) = 0;
    /// Runs the instrument name question modally; true when it ended with OK.
    virtual bool runInstrumentName(InstrumentNameDialog& dialog) = 0;
    /// Shows the Info box modally.
    virtual void runInfo() = 0;
};

} // namespace quorvix
