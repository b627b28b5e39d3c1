#pragma once

#include "DialogUnits.h"

#include <QDialog>

class QComboBox;
class QPushButton;

namespace quorvix {
class SelectDefinitionDialog;
}

namespace quorvix::gui {

/// The "Select Instrumentendefinition" dialog (template 129): a drop-down list of the loaded file's
/// definitions in file order, the first preselected. OK hands the selection to the core's
/// SelectDefinitionDialog and closes with its result; "Abbrechen", Escape and the close box cancel.
class SelectDefinitionWindow : public QDialog
{
    Q_OBJECT

public:
    explicit SelectDefinitionWindow(SelectDefinitionDialog& logic, QWidget* parent = nullptr);

    QComboBox* definitionList() const { return m_list; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

    void reject() override;

private:
    void choose();

    SelectDefinitionDialog& m_logic;
    QComboBox* m_list = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace quorvix::gui
