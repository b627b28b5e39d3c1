#pragma once

#include <string>

namespace quorvix {

/// The logic of the "Insert Instrument Name" dialog: only a non-empty name ends it with OK. The name is
/// taken as typed (bytes, Windows-1252 in the desktop program), not trimmed.
class InstrumentNameDialog
{
public:
    /// OK or Enter with the field's text; true when the dialog may close with OK.
    bool OnOK(std::string fieldText)
    {
        m_enteredName = std::move(fieldText);
        return !m_enteredName.empty();
    }

    /// The name in the field when the dialog opens (the document's device name, bytes as the document holds
    /// them); empty for none. A window hands it back unchanged when the user keeps it.
    std::string m_proposedName;
    std::string m_enteredName;
};

} // namespace quorvix
