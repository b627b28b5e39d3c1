#include "ScriptedHost.h"

#include <stdexcept>

namespace quorvix::test {

namespace {

template <typename T>
T next(std::deque<T>& answers, const char* what)
{
    if (answers.empty())
        throw std::logic_error(std::string("unexpected ") + what);
    T answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

} // namespace

std::string ScriptedHost::buttons() const
{
    if (window == nullptr)
        return {};
    std::string pattern;
    for (Button button : {Button::LoadDefinition, Button::ConvertToScript, Button::SaveScript,
                          Button::LoadScript, Button::ConvertToDefinition, Button::SaveDefinition}) {
        if (window->isEnabled(button)) {
            if (!pattern.empty())
                pattern += ' ';
            pattern += std::to_string(static_cast<int>(button));
        }
    }
    return pattern;
}

std::vector<std::string> ScriptedHost::messages() const
{
    std::vector<std::string> texts;
    for (const auto& event : events)
        if (event.kind == "message" || event.kind == "taskmodal" || event.kind == "selection-message" ||
            event.kind == "error" || event.kind == "ask")
            texts.push_back(event.text);
    return texts;
}

void ScriptedHost::log(std::string kind, std::string_view text)
{
    events.push_back({std::move(kind), std::string(text), buttons()});
}

std::optional<std::string> ScriptedHost::openFile(const FileDialogRequest& request)
{
    fileRequests.push_back(request);
    log("open", request.filter);
    return next(openAnswers, "open-file dialog");
}

std::optional<SaveChoice> ScriptedHost::saveFile(const FileDialogRequest& request)
{
    fileRequests.push_back(request);
    log("save", request.initialName);
    auto path = next(saveAnswers, "save-file dialog");
    if (!path)
        return std::nullopt;
    std::size_t fileType = 0;
    if (!saveFileTypes.empty()) {
        fileType = saveFileTypes.front();
        saveFileTypes.pop_front();
    }
    return SaveChoice{std::move(*path), fileType};
}

void ScriptedHost::message(std::string_view text, MessageOwner owner, bool taskModal)
{
    log(owner == MessageOwner::SelectionDialog ? "selection-message"
        : taskModal                            ? "taskmodal"
                                               : "message",
        text);
}

void ScriptedHost::error(std::string_view text)
{
    log("error", text);
}

bool ScriptedHost::askYesNo(std::string_view text)
{
    log("ask", text);
    return next(yesNoAnswers, "question");
}

bool ScriptedHost::runSelectDefinition(SelectDefinitionDialog& dialog)
{
    lastSelectionNames = dialog.OnInitDialog();
    log("select", {});
    const auto choice = next(selections, "selection dialog");
    const auto result = choice ? dialog.OnOK(*choice) : dialog.OnCancel();
    return result == SelectDefinitionDialog::Result::Ok;
}

bool ScriptedHost::runInstrumentName(InstrumentNameDialog& dialog)
{
    log("name", dialog.m_proposedName);
    for (;;) {
        const auto typed = next(nameAnswers, "name dialog");
        if (!typed)
            return false;
        if (dialog.OnOK(*typed))
            return true;
    }
}

void ScriptedHost::runInfo()
{
    log("info", {});
}

} // namespace quorvix::test
