// The main window's commands for files beyond its own file dialogs and formats: opening a file given on the
// command line or dropped on the window, and the files of the other formats the commands read and write
// through the instrument model.

#include "app/ConverterDialog.h"
#include "app/InstrumentNameDialog.h"
#include "app/Messages.h"
#include "base/FileStatus.h"
#include "base/InputFile.h"

namespace quorvix {

void ConverterDialog::convertDocument(std::string bytes, FileFormat format)
{
    InstrumentDocument document = readInstrumentDocument(std::move(bytes), format, m_scriptPath);
    if (const std::string failure = documentFailure(document); !failure.empty()) {
        ResetButtons();
        m_host.message(withReason(messages::kConvertFailed, m_scriptPath, failure));
        return;
    }

    InstrumentNameDialog nameDialog;
    nameDialog.m_proposedName = document.proposedName;
    if (!m_host.runInstrumentName(nameDialog) || nameDialog.m_enteredName.empty()) {
        ResetButtons();
        m_host.message(messages::kConvertFailed);
        return;
    }

    Diagnostics warnings;
    const std::string sourceName = fileNameOf(m_scriptPath);
    m_lines = definitionLinesOf(document, nameDialog.m_enteredName,
                                InsWriteOptions{sourceName, localTimeStamp(m_clock())}, warnings);
    m_host.message(withWarnings(messages::kDefinitionConverted, sourceName, warnings));
    setState(State::DefinitionConverted);
}

namespace {

/// How long the window waits for a pipe to give its next bytes.
constexpr int kPipePatienceMilliseconds = 2000;

Button commandFor(FileFormat format, const std::string& path)
{
    switch (format) {
    case FileFormat::Ins:
        return Button::LoadDefinition;
    case FileFormat::Unknown:
        return hasExtension(path, "ins") ? Button::LoadDefinition : Button::LoadScript;
    default:
        return Button::LoadScript;
    }
}

} // namespace

InputFile readWindowInput(const std::string& path)
{
    return readInput(path, InputRules{"text file", true, kPipePatienceMilliseconds});
}

Button ConverterDialog::loadCommandFor(const std::string& path)
{
    if (isPipeOrDevice(path))
        return commandFor(FileFormat::Unknown, path);
    const InputFile head = readInputHead(path, kDetectionBytes);
    if (!head.ok())
        return commandFor(FileFormat::Unknown, path);
    if (head.bytes.size() == kDetectionBytes && detectionNeedsMore(head.bytes)) {
        const InputFile whole = readInput(path, InputRules{{}, true});
        return commandFor(whole.ok() ? detectFormat(whole.bytes) : FileFormat::Unknown, path);
    }
    return commandFor(detectFormat(head.bytes), path);
}

bool ConverterDialog::canOpen(const std::string& path) const
{
    return isEnabled(loadCommandFor(path));
}

bool ConverterDialog::openFile(const std::string& path)
{
    std::optional<InputFile> read;
    Button command = Button::LoadScript;
    if (isPipeOrDevice(path)) {
        read = readWindowInput(path);
        command = commandFor(read->ok() ? detectFormat(read->bytes) : FileFormat::Unknown, path);
    } else {
        command = loadCommandFor(path);
    }
    if (!isEnabled(command))
        return false;
    InputFile* bytes = read ? &*read : nullptr;
    if (command == Button::LoadDefinition)
        loadDefinition(&path, bytes);
    else
        loadScript(&path, bytes);
    return true;
}

void ConverterDialog::openFiles(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return;
    openFile(paths.front());
    if (paths.size() == 1)
        return;
    std::string text = messages::kOnlyFirstFileOpened;
    for (std::size_t i = 1; i < paths.size(); ++i)
        text += "\n" + paths[i];
    m_host.message(text);
}

std::vector<std::string> ConverterDialog::chosenDefinitionPaths(const FormatRow& format,
                                                                const std::string& path)
{
    const LoadedDefinition loaded = m_zt.ChosenDefinition(m_library);
    if (loaded.set == nullptr)
        return {path};
    return instrumentFilePaths(format, path, *loaded.set, loaded.instrument);
}

WriteResult ConverterDialog::writeChosenDefinition(const FormatRow& format, const std::string& path,
                                                   Diagnostics& warnings)
{
    const LoadedDefinition loaded = m_zt.ChosenDefinition(m_library);
    if (loaded.set == nullptr)
        return {false, "no instrument definition is loaded"};
    return writeInstrumentFile(format, path, *loaded.set, loaded.instrument, fileNameOf(m_definitionPath),
                               localTimeStamp(m_clock()), warnings);
}

} // namespace quorvix
