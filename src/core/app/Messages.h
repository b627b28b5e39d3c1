#pragma once

// Every text the main window and its dialogs show, in one place.

namespace quorvix::messages {

inline constexpr const char* kWindowTitle =
    "Quorvix: Cakewalk Instrument Definitions <=> Cubase Patchname Scripts";

// Cakewalk -> Cubase
inline constexpr const char* kInitLibraryFailed = "Error Initialize Programlibrary ZT_MIDIFILE";
inline constexpr const char* kOpenInsFailed = "Error Open InsDef-File";
inline constexpr const char* kNoDefinitions = "Error: No Instrumentendefinitions in file";
inline constexpr const char* kOpenDefinitionFailed = "Error: Open Instrumentdefinition";
inline constexpr const char* kVoiceListFailed = "Error: Compute Voicelist";
inline constexpr const char* kLoadInsDone = "Load Instrumentdefinition done";
inline constexpr const char* kVoiceLeftOut = "%s Bank %i";
inline constexpr const char* kScriptConverted = "Cubase Patchname Script converted";
inline constexpr const char* kScriptSaved = "Cubase Patchname Script saved";

// Cubase -> Cakewalk
inline constexpr const char* kLoadScriptDone = "Load Cubase Patchname Script done";
inline constexpr const char* kNoWindowsScript = "Error: No Windows Patchname Script";
inline constexpr const char* kConvertFailed = "Error Convert";
inline constexpr const char* kDefinitionConverted = "Cakewalk Instrumentdefinition converted";
inline constexpr const char* kDefinitionSaved = "Cakewalk Instrumentdefinition saved";

// Saving
inline constexpr const char* kUseExistingFile = "Use existing file \"%s\" ?";

// File dialogs
inline constexpr const char* kInsOpenFilter =
    "Cakewalk Instrument Definition Files (*.ins)|*.ins|All Files (*.*)|*.*||";
/// The window's own entries of the script dialogs; the formats read and written through the instrument model
/// follow them (scriptOpenFilter, scriptSaveFilter).
inline constexpr const char* kScriptOpenFilterStart =
    "Cubase Patchname Script Files (*.txt)|*.txt|All Files (*.*)|*.*|";
inline constexpr const char* kScriptSaveFilterStart = "Script-File (*.txt)|*.txt|";
inline constexpr const char* kInsSaveFilter = "Instrumentdefinition file (*.ins)|*.ins||";

// Opening files given on the command line or dropped on the window
inline constexpr const char* kOnlyFirstFileOpened = "Quorvix opens one file at a time. Not opened:";
inline constexpr const char* kNoInstrumentInDocument = "holds no instrument";

// Dialogs
inline constexpr const char* kSelectDefinitionTitle = "Select Instrumentendefinition";
inline constexpr const char* kInstrumentNameTitle = "Insert Instrument Name";

} // namespace quorvix::messages
