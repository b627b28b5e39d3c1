#include "app/ConverterDialog.h"

#include "app/InstrumentNameDialog.h"
#include "app/Messages.h"
#include "app/SelectDefinitionDialog.h"
#include "base/Encoding.h"
#include "base/FileStatus.h"
#include "base/FileWriter.h"
#include "base/InputFile.h"
#include "formats/cubase/CakewalkDefinitionWriter.h"
#include "formats/cubase/CubaseScriptWriter.h"
#include "legacy/RecordText.h"

#include <climits>
#include <optional>
#include <vector>

namespace quorvix {

namespace {

constexpr std::array<Button, 6> kButtons{Button::LoadDefinition,      Button::ConvertToScript,
                                         Button::SaveScript,          Button::LoadScript,
                                         Button::ConvertToDefinition, Button::SaveDefinition};
constexpr std::array<Field, 5> kFields{Field::DefinitionFile, Field::Instrument, Field::SavedScript,
                                       Field::LoadedScript, Field::SavedDefinition};

std::size_t buttonSlot(Button button)
{
    for (std::size_t i = 0; i < kButtons.size(); ++i)
        if (kButtons[i] == button)
            return i;
    return 0;
}

std::size_t fieldSlot(Field field)
{
    for (std::size_t i = 0; i < kFields.size(); ++i)
        if (kFields[i] == field)
            return i;
    return 0;
}

std::string replacePlaceholder(std::string_view format, std::string_view value)
{
    std::string text(format);
    const auto at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, value);
    return text;
}

/// The first of the paths that holds a file with something in it; empty when none does.
std::string firstNonEmptyFile(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths)
        if (existingFileSize(path) > 0)
            return path;
    return {};
}

} // namespace

std::string ShortenPath(std::string_view path)
{
    constexpr std::size_t kLongest = 55;
    constexpr std::size_t kTail = 52;
    std::vector<std::size_t> starts;
    starts.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); i += utf8SequenceLength(path, i))
        starts.push_back(i);
    if (starts.size() <= kLongest)
        return std::string(path);
    return "..." + std::string(path.substr(starts[starts.size() - kTail]));
}

ConverterDialog::ConverterDialog(DialogHost& host, MidiLibrary& library, Clock clock)
    : m_host(host), m_zt(library), m_clock(std::move(clock))
{}

ConverterDialog::~ConverterDialog()
{
    releaseVoices();
    if (m_library != nullptr)
        m_zt.Free(m_library);
}

void ConverterDialog::OnInitDialog()
{
    ResetButtons();
}

void ConverterDialog::ResetButtons()
{
    setState(State::Start);
}

std::array<bool, 6> ConverterDialog::buttonsFor(State state)
{
    //                                          1000   1006   1009   1020   1024   1027
    switch (state) {
    case State::Built:
        return {true, true, true, true, true, true};
    case State::Start:
        return {true, false, false, true, false, false};
    case State::DefinitionOnly:
        return {true, false, false, false, false, false};
    case State::DefinitionLoaded:
        return {false, true, false, false, false, false};
    case State::ScriptConverted:
        return {false, false, true, false, false, false};
    case State::Busy:
        break;
    case State::ScriptLoaded:
        return {false, false, false, false, true, false};
    case State::DefinitionConverted:
        return {false, false, false, false, false, true};
    }
    return {};
}

bool ConverterDialog::isEnabled(Button button) const
{
    return buttonsFor(m_state)[buttonSlot(button)];
}

const std::string& ConverterDialog::fieldText(Field field) const
{
    return m_fields[fieldSlot(field)];
}

void ConverterDialog::setState(State state)
{
    const bool changed = buttonsFor(state) != buttonsFor(m_state);
    m_state = state;
    if (changed)
        m_host.stateChanged();
}

void ConverterDialog::setField(Field field, std::string text)
{
    std::string& slot = m_fields[fieldSlot(field)];
    if (slot == text)
        return;
    slot = std::move(text);
    m_host.stateChanged();
}

void ConverterDialog::clearAllFields()
{
    for (Field field : {Field::Instrument, Field::DefinitionFile, Field::SavedScript, Field::LoadedScript,
                        Field::SavedDefinition})
        setField(field, {});
}

void ConverterDialog::releaseVoices()
{
    if (m_voices != nullptr)
        m_zt.Delete(m_voices);
    m_voices = nullptr;
    m_voiceCount = 0;
    delete[] m_voiceTaken;
    m_voiceTaken = nullptr;
    m_voiceCursor = 0;
}

void ConverterDialog::LoadInstrumentDefinition()
{
    loadDefinition(nullptr);
}

void ConverterDialog::loadDefinition(const std::string* given, InputFile* read)
{
    if (!isEnabled(Button::LoadDefinition))
        return;
    setState(State::DefinitionOnly);
    clearAllFields();

    if (m_library != nullptr)
        m_zt.Free(m_library);
    m_library = m_zt.Init();
    if (m_library == nullptr) {
        m_host.message(messages::kInitLibraryFailed);
        return;
    }

    const auto path = given != nullptr ? std::optional<std::string>(*given)
                                       : m_host.openFile({messages::kInsOpenFilter, "ins", {}});
    if (!path || !loadDefinitionFile(*path, read) || !chooseDefinition() || !loadVoiceList())
        return;
    setState(State::DefinitionLoaded);
    m_host.message(messages::kLoadInsDone);
}

bool ConverterDialog::loadDefinitionFile(const std::string& path, InputFile* read)
{
    // A pipe or device reads once and must not hold the window: it is read here, unless it was already.
    std::optional<InputFile> readHere;
    if (read == nullptr && isPipeOrDevice(path))
        read = &readHere.emplace(readWindowInput(path));
    if (read != nullptr && read->ok() && !read->wideText.empty())
        read->error = read->wideText;
    if (read != nullptr && !read->ok()) {
        m_host.message(withReason(messages::kOpenInsFailed, path, read->error));
        return false;
    }
    const std::uint32_t failed = read != nullptr ? m_zt.CWInsLoadBytes(m_library, std::move(read->bytes))
                                                 : m_zt.CWInsLoad(m_library, path.c_str());
    if (failed != 0) {
        m_host.message(withReason(messages::kOpenInsFailed, path, m_zt.LoadError(m_library)));
        return false;
    }
    m_definitionPath = path;
    setField(Field::DefinitionFile, ShortenPath(path));

    ZT_cwdef* definitions = nullptr;
    int definitionCount = 0;
    const bool none = m_zt.CWInsGetDefs(m_library, &definitions, &definitionCount) != 0;
    if (none)
        m_host.message(messages::kNoDefinitions, MessageOwner::MainWindow, true);
    m_zt.Delete(definitions);
    return !none;
}

bool ConverterDialog::chooseDefinition()
{
    std::string chosenName;
    {
        SelectDefinitionDialog selection(m_host, m_zt);
        selection.m_library = m_library;
        if (!m_host.runSelectDefinition(selection))
            return false;
        chosenName = selection.m_definitionName;
    }
    if (chosenName.empty())
        return false;
    m_instrumentName = chosenName;
    setField(Field::Instrument, m_instrumentName);
    return true;
}

bool ConverterDialog::loadVoiceList()
{
    // A list loaded earlier and never converted is released here rather than leaked.
    releaseVoices();
    long count = 0;
    if (m_zt.CWInsGetBankVoiceList(m_library, const_cast<char*>(""), &m_voices, &count) != 0 || count < 0 ||
        count > INT32_MAX || (count > 0 && m_voices == nullptr)) {
        if (m_voices != nullptr)
            m_zt.Delete(m_voices);
        m_voices = nullptr;
        m_host.message(messages::kVoiceListFailed);
        return false;
    }
    m_voiceCount = static_cast<std::int32_t>(count);
    m_voiceTaken = new std::uint8_t[static_cast<std::size_t>(m_voiceCount)]();
    m_voiceCursor = 0;
    return true;
}

void ConverterDialog::ConvertToCubaseScript()
{
    if (!isEnabled(Button::ConvertToScript))
        return;

    const TimeStamp stamp = localTimeStamp(m_clock());
    const std::vector<std::int32_t> leftOut = quorvix::ConvertToCubaseScript(
        m_voices, m_voiceCount, m_voiceTaken, m_voiceCursor, m_instrumentName, stamp, m_lines);
    for (const std::int32_t index : leftOut) {
        const ZT_cwbankvoice& voice = m_voices[index];
        m_host.message(std::string(recordText(voice.name)) + " Bank " + std::to_string(voice.bank));
    }
    releaseVoices();

    setState(State::ScriptConverted);
    m_host.message(messages::kScriptConverted);
}

void ConverterDialog::SaveScript()
{
    if (isEnabled(Button::SaveScript))
        SaveLines(SaveKind::Script);
}

void ConverterDialog::SaveInsfile()
{
    if (isEnabled(Button::SaveDefinition))
        SaveLines(SaveKind::Definition);
}

void ConverterDialog::SaveLines(SaveKind kind)
{
    const bool script = kind == SaveKind::Script;
    const Field pathField = script ? Field::SavedScript : Field::SavedDefinition;
    // The script side simply ends; the definition side returns the window to its first state.
    const auto endQuietly = [&] {
        if (!script)
            ResetButtons();
    };

    if (!script)
        setState(State::Busy);
    setField(pathField, {});

    FileDialogRequest request;
    if (script) {
        request = {scriptSaveFilter(), "txt", DefaultScriptFileName(m_instrumentName)};
    } else {
        m_insFileName = DefaultDefinitionFileName(m_scriptPath);
        request = {messages::kInsSaveFilter, "ins", m_insFileName};
    }
    const auto chosen = m_host.saveFile(request);
    if (!chosen) {
        endQuietly();
        return;
    }
    const std::string& path = chosen->path;
    const FormatRow* format = script ? scriptSaveFormat(path, chosen->fileType) : nullptr;

    const std::string replaced = firstNonEmptyFile(format == nullptr ? std::vector<std::string>{path}
                                                                     : chosenDefinitionPaths(*format, path));
    if (!replaced.empty() && !m_host.askYesNo(replacePlaceholder(messages::kUseExistingFile, replaced))) {
        endQuietly();
        return;
    }
    setField(pathField, ShortenPath(path));
    if (path.empty()) {
        endQuietly();
        return;
    }

    Diagnostics warnings;
    const WriteResult written = format == nullptr ? writeLinesAtomically(path, m_lines)
                                                  : writeChosenDefinition(*format, path, warnings);
    if (!written.ok) {
        m_host.error("Cannot save \"" + path + "\": " + written.error);
        endQuietly();
        return;
    }

    if (script) {
        ResetButtons();
        m_host.message(withWarnings(messages::kScriptSaved, fileNameOf(m_definitionPath), warnings));
    } else {
        m_lines.SetSize(0, -1);
        m_host.message(messages::kDefinitionSaved);
        ResetButtons();
    }
}

void ConverterDialog::ShowInfo()
{
    m_host.runInfo();
}

void ConverterDialog::LoadCubaseScript()
{
    loadScript(nullptr);
}

void ConverterDialog::loadScript(const std::string* given, InputFile* read)
{
    if (!isEnabled(Button::LoadScript))
        return;
    m_scriptInput.reset();
    setState(State::Busy);
    clearAllFields();

    const auto path = given != nullptr ? std::optional<std::string>(*given)
                                       : m_host.openFile({scriptOpenFilter(), "txt", {}});
    if (!path) {
        ResetButtons();
        return;
    }
    m_scriptPath = *path;
    if (read != nullptr)
        m_scriptInput = std::move(*read);
    setField(Field::LoadedScript, ShortenPath(m_scriptPath));

    setState(State::ScriptLoaded);
    m_host.message(messages::kLoadScriptDone);
}

void ConverterDialog::ConvertToCakewalkDefinition()
{
    if (!isEnabled(Button::ConvertToDefinition))
        return;
    setState(State::Busy);

    // The file is read once, whole; its content tells a file of another format, which goes through the
    // instrument model, from a script, whose conversion then works on the same bytes.
    // A pipe was read when it was opened, and reads no more.
    InputFile script = m_scriptInput ? std::move(*m_scriptInput) : readWindowInput(m_scriptPath);
    m_scriptInput.reset();
    if (script.ok()) {
        const FileFormat format = detectFormat(script.bytes);
        if (throughModel(format)) {
            convertDocument(std::move(script.bytes), format);
            return;
        }
        if (!script.wideText.empty()) {
            // A script is never wide text.
            script.error = std::move(script.wideText);
            script.notText = true;
        }
    }
    convertScript(script);
}

void ConverterDialog::convertScript(const InputFile& script)
{
    InstrumentNameDialog nameDialog;
    if (!m_host.runInstrumentName(nameDialog) || nameDialog.m_enteredName.empty()) {
        ResetButtons();
        m_host.message(messages::kConvertFailed);
        return;
    }

    if (!script.ok()) {
        // What is no text is no script; what cannot be read fails the conversion.
        if (script.notText)
            m_host.message(withReason(messages::kNoWindowsScript, m_scriptPath, script.error));
        ResetButtons();
        m_host.message(script.notText ? std::string(messages::kConvertFailed)
                                      : withReason(messages::kConvertFailed, m_scriptPath, script.error));
        return;
    }
    DefinitionConversion result = quorvix::ConvertToCakewalkDefinition(script.bytes, nameDialog.m_enteredName,
                                                                       localTimeStamp(m_clock()));
    if (result.status != DefinitionConversion::Status::Ok) {
        const bool noScript = result.status == DefinitionConversion::Status::LineTooLong ||
                              result.status == DefinitionConversion::Status::NoEntries;
        if (noScript)
            m_host.message(withReason(messages::kNoWindowsScript, m_scriptPath, result.detail));
        ResetButtons();
        m_host.message(noScript ? std::string(messages::kConvertFailed)
                                : withReason(messages::kConvertFailed, m_scriptPath, result.detail));
        return;
    }
    m_lines = std::move(result.lines);

    std::string converted = messages::kDefinitionConverted;
    if (result.entriesNotReadBack > 0)
        converted +=
            "\n\n" + std::to_string(result.entriesNotReadBack) +
            (result.entriesNotReadBack == 1 ? " entry" : " entries") +
            " of the script will not read back from this definition (a bank or program out of range, "
            "a bank number written twice, or a program named twice in one bank).";
    m_host.message(converted);
    setState(State::DefinitionConverted);
}

void ConverterDialog::OnOK()
{
    if (m_library != nullptr) {
        m_zt.Free(m_library);
        m_library = nullptr;
    }
}

} // namespace quorvix
