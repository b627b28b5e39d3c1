#include "app/SelectDefinitionDialog.h"

#include "app/DialogHost.h"
#include "app/Messages.h"
#include "legacy/RecordText.h"

namespace quorvix {

MidiLibrary& MidiLibrary::standard()
{
    static MidiLibrary library;
    return library;
}

SelectDefinitionDialog::SelectDefinitionDialog(DialogHost& host, MidiLibrary& library)
    : m_host(host), m_zt(library)
{}

SelectDefinitionDialog::~SelectDefinitionDialog()
{
    releaseDefinitions();
}

std::vector<std::string> SelectDefinitionDialog::OnInitDialog()
{
    releaseDefinitions();
    std::vector<std::string> names;
    int count = 0;
    if (m_zt.CWInsGetDefs(m_library, &m_definitions, &count) != 0 || m_definitions == nullptr) {
        // A failed call hands out nothing usable: show an empty list.
        m_zt.Delete(m_definitions);
        m_definitions = nullptr;
        return names;
    }
    m_definitionCount = count > 0 ? count : 0;
    names.reserve(static_cast<std::size_t>(m_definitionCount));
    for (int i = 0; i < m_definitionCount; ++i) {
        names.emplace_back(recordText(m_definitions[i].name));
    }
    return names;
}

SelectDefinitionDialog::Result SelectDefinitionDialog::OnOK(int selectedIndex)
{
    if (selectedIndex < 0 || selectedIndex >= m_definitionCount)
        return OnCancel();
    if (m_zt.CWInsSetDef(m_library, selectedIndex) != 0) {
        m_host.message(messages::kOpenDefinitionFailed, MessageOwner::SelectionDialog);
        return OnCancel();
    }
    m_definitionName = recordText(m_definitions[selectedIndex].name);
    releaseDefinitions();
    return Result::Ok;
}

SelectDefinitionDialog::Result SelectDefinitionDialog::OnCancel()
{
    m_definitionName.clear();
    releaseDefinitions();
    return Result::Cancel;
}

void SelectDefinitionDialog::releaseDefinitions()
{
    if (m_definitions != nullptr)
        m_zt.Delete(m_definitions);
    m_definitions = nullptr;
    m_definitionCount = 0;
}

} // namespace quorvix
