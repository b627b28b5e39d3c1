#pragma once

#include "legacy/MidiLibrary.h"

#include <string>
#include <vector>

namespace quorvix {

class DialogHost;

/// The logic of the "Select Instrumentendefinition" dialog: lists the loaded file's definitions in file
/// order and tells the library which one the user picked. The window that shows it calls OnInitDialog once,
/// then OnOK or OnCancel, and closes itself with the result they return.
class SelectDefinitionDialog
{
public:
    explicit SelectDefinitionDialog(DialogHost& host, MidiLibrary& library = MidiLibrary::standard());
    ~SelectDefinitionDialog();
    SelectDefinitionDialog(const SelectDefinitionDialog&) = delete;
    SelectDefinitionDialog& operator=(const SelectDefinitionDialog&) = delete;

    enum class Result
    {
        Ok,
        Cancel,
    };

    /// The names to list, in the library's order (list index = definition index). Empty when the library
    /// hands out none.
    std::vector<std::string> OnInitDialog();
    /// OK with the given list selection (-1 for none). Chooses the definition, or reports "Error: Open
    /// Instrumentdefinition" and cancels; no selection cancels silently.
    Result OnOK(int selectedIndex);
    /// Cancel, Escape or the close box.
    Result OnCancel();

    MIDIFile* m_library = nullptr;
    std::string m_definitionName;

private:
    void releaseDefinitions();

    DialogHost& m_host;
    MidiLibrary& m_zt;
    ZT_cwdef* m_definitions = nullptr;
    int m_definitionCount = 0;
};

} // namespace quorvix
