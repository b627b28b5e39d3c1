#pragma once

#include "app/ConverterDialog.h"
#include "app/DialogHost.h"
#include "app/InstrumentNameDialog.h"
#include "app/SelectDefinitionDialog.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace quorvix::test {

/// A DialogHost that answers from scripts and logs every interaction, with the button pattern as it stood
/// when each box opened ("1000 1020" = the enabled command buttons).
class ScriptedHost : public DialogHost
{
public:
    struct Event
    {
        std::string
            kind; ///< message, taskmodal, selection-message, error, ask, open, save, select, name, info
        std::string text; ///< a box's text, a dialog's filter or proposed name
        std::string buttons;
    };

    /// Answer for the selection dialog: the list index chosen with OK, or nullopt for Abbrechen.
    std::deque<std::optional<int>> selections;
    /// Answers for open and save dialogs; nullopt cancels.
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    /// The file type selected in each save dialog that is answered; the first type once these run out.
    std::deque<std::size_t> saveFileTypes;
    std::deque<bool> yesNoAnswers;
    /// Texts typed into the name dialog, one per press of OK; nullopt presses Cancel.
    std::deque<std::optional<std::string>> nameAnswers;

    std::vector<Event> events;
    std::vector<std::string> lastSelectionNames;
    std::vector<FileDialogRequest> fileRequests;
    ConverterDialog* window = nullptr;
    int stateChanges = 0;

    std::string buttons() const;
    /// The texts of every message-like event, in order.
    std::vector<std::string> messages() const;

    void stateChanged() override { ++stateChanges; }
    std::optional<std::string> openFile(const FileDialogRequest& request) override;
    std::optional<SaveChoice> saveFile(const FileDialogRequest& request) override;
    void message(std::string_view text, MessageOwner owner, bool taskModal) override;
    void error(std::string_view text) override;
    bool askYesNo(std::string_view text) override;
    bool runSelectDefinition(SelectDefinitionDialog& dialog) override;
    bool runInstrumentName(InstrumentNameDialog& dialog) override;
    void runInfo() override;

private:
    void log(std::string kind, std::string_view text);
};

} // namespace quorvix::test
