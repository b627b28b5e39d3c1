#pragma once

#include "app/DialogHost.h"
#include "app/ModelFiles.h"
#include "base/InputFile.h"
#include "base/TextLines.h"
#include "base/TimeStamp.h"
#include "legacy/MidiLibrary.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix {

/// Command buttons of the main window, by control id.
enum class Button : int
{
    LoadDefinition = 1000,      ///< "Load Cakewalk Instrumentdefinition"
    ConvertToScript = 1006,     ///< "Convert to Cubase Patchname Script"
    SaveScript = 1009,          ///< "Save Script"
    LoadScript = 1020,          ///< "Load Cubase Patchname Script"
    ConvertToDefinition = 1024, ///< "Convert to Cakewalk Instrumentdefinition"
    SaveDefinition = 1027,      ///< "Save Insfile"
};

/// Read-only fields of the main window, by control id.
enum class Field : int
{
    DefinitionFile = 1001,  ///< the loaded .ins file
    Instrument = 1002,      ///< the chosen instrument
    SavedScript = 1008,     ///< the saved script file
    LoadedScript = 1023,    ///< the loaded script file
    SavedDefinition = 1026, ///< the saved .ins file
};

/// A file as the window reads it: whole, once; a pipe or device without waiting for a writer, and given up
/// after two seconds without a byte; UTF-16 and UTF-32 text kept (InputFile::wideText) for its format to
/// judge.
InputFile readWindowInput(const std::string& path);

/// The text shown for a path: the path itself up to 55 characters, else "..." and its last 52 characters.
/// Characters are UTF-8 code points (a byte that is not valid UTF-8 counts as one character), so a path is
/// never cut inside a character.
std::string ShortenPath(std::string_view path);

/// The main window's state and command logic. Every command runs to completion; modal interactions go
/// through the DialogHost, which is told of every change of a button or a field.
class ConverterDialog
{
public:
    explicit ConverterDialog(DialogHost& host, MidiLibrary& library = MidiLibrary::standard(),
                             Clock clock = systemNow);
    ~ConverterDialog();
    ConverterDialog(const ConverterDialog&) = delete;
    ConverterDialog& operator=(const ConverterDialog&) = delete;

    /// Sets the first button states (ResetButtons).
    void OnInitDialog();

    /// The load command a file goes to, judged by its first bytes (all of them when they end inside an XML
    /// prolog): an instrument definition file to LoadDefinition; a Cubase script or a file of any other
    /// format of the table to LoadScript. A file of no known format, one that cannot be read, and a pipe or
    /// device (which reads only once: openFile() reads it) go by name: "*.ins" to LoadDefinition (whose load
    /// then says why it fails), anything else to LoadScript, which takes any file, as from its file dialog.
    static Button loadCommandFor(const std::string& path);
    /// True when the load command of the file (loadCommandFor) is enabled.
    bool canOpen(const std::string& path) const;
    /// Loads the file as its load command does after the user chose it in the command's file dialog: the
    /// same dialogs, fields, buttons and messages. False, doing nothing, when that command is disabled. A
    /// pipe or device is read once, here, without waiting long for it (see readWindowInput); its format and
    /// its load come from those bytes.
    bool openFile(const std::string& path);
    /// Opens the first of the files (openFile); when there are more, a message then names the others, which
    /// are not opened. Nothing happens for no files.
    void openFiles(const std::vector<std::string>& paths);

    void LoadInstrumentDefinition();    ///< button 1000
    void ConvertToCubaseScript();       ///< button 1006
    void SaveScript();                  ///< button 1009
    void ShowInfo();                    ///< button 1010
    void LoadCubaseScript();            ///< button 1020
    void ConvertToCakewalkDefinition(); ///< button 1024
    void SaveInsfile();                 ///< button 1027
    /// "Exit": releases the library handle when there is one. The window then closes.
    void OnOK();

    /// 1000 on, 1006 off, 1009 off, 1020 on, 1024 off, 1027 off.
    void ResetButtons();

    /// Where the window stands in its two conversions; it alone decides which buttons are enabled.
    enum class State
    {
        Built,               ///< every button on, as the window is built
        Start,               ///< either conversion may begin: 1000 and 1020
        DefinitionOnly,      ///< a definition is being loaded, or its load failed: 1000
        DefinitionLoaded,    ///< its voices are ready: 1006
        ScriptConverted,     ///< the script is made: 1009
        Busy,                ///< a dialog or a conversion runs: none
        ScriptLoaded,        ///< a script is chosen: 1024
        DefinitionConverted, ///< the definition is made: 1027
    };
    /// The buttons enabled in a state, in the order 1000, 1006, 1009, 1020, 1024, 1027.
    static std::array<bool, 6> buttonsFor(State state);

    bool isEnabled(Button button) const;
    const std::string& fieldText(Field field) const;

    // State, readable for the window and for tests.
    const TextLines& lines() const { return m_lines; }
    const std::string& instrumentName() const { return m_instrumentName; }
    const std::string& scriptPath() const { return m_scriptPath; }
    const std::string& insFileName() const { return m_insFileName; }
    bool hasLibrary() const { return m_library != nullptr; }
    std::int32_t voiceCount() const { return m_voiceCount; }

private:
    enum class SaveKind
    {
        Script,
        Definition,
    };

    void setState(State state);
    void setField(Field field, std::string text);
    void clearAllFields();
    void releaseVoices();
    void SaveLines(SaveKind kind);
    /// The load commands; `given` replaces the file dialog's answer, `read` holds its bytes when a pipe was
    /// read already.
    void loadDefinition(const std::string* given, InputFile* read = nullptr);
    void loadScript(const std::string* given, InputFile* read = nullptr);
    /// The steps of loadDefinition; each says why it fails and returns false.
    bool loadDefinitionFile(const std::string& path, InputFile* read);
    bool chooseDefinition();
    bool loadVoiceList();
    /// ConvertToCakewalkDefinition for a script, read or not.
    void convertScript(const InputFile& script);
    /// The files writeChosenDefinition writes for `path`.
    std::vector<std::string> chosenDefinitionPaths(const FormatRow& format, const std::string& path);
    /// Writes the chosen definition of the loaded .ins file in the format.
    WriteResult writeChosenDefinition(const FormatRow& format, const std::string& path,
                                      Diagnostics& warnings);
    /// ConvertToCakewalkDefinition for a file of a format read through the instrument model.
    void convertDocument(std::string bytes, FileFormat format);

    DialogHost& m_host;
    MidiLibrary& m_zt;
    Clock m_clock;

    State m_state = State::Built;
    std::array<std::string, 5> m_fields;

    MIDIFile* m_library = nullptr;
    ZT_cwbankvoice* m_voices = nullptr;
    std::int32_t m_voiceCount = 0;
    std::uint8_t* m_voiceTaken = nullptr;
    std::int32_t m_voiceCursor = 0;
    TextLines m_lines;
    std::string m_instrumentName;
    std::string m_scriptPath;
    std::string m_insFileName;
    std::string m_definitionPath;           ///< the .ins file loaded by LoadInstrumentDefinition
    std::optional<InputFile> m_scriptInput; ///< the loaded script's bytes when they came from a pipe
};

} // namespace quorvix
