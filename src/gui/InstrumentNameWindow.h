#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace quorvix {
class InstrumentNameDialog;
}

namespace quorvix::gui {

/// The "Insert Instrument Name" dialog (template 131). The typed name goes to the core's
/// InstrumentNameDialog as Windows-1252 bytes; OK with an empty field leaves the dialog open. A proposed name
/// stands selected in the field; kept as it is, it goes back as the proposal's own bytes.
class InstrumentNameWindow : public QDialog
{
    Q_OBJECT

public:
    explicit InstrumentNameWindow(InstrumentNameDialog& logic, QWidget* parent = nullptr);

    QLineEdit* nameEdit() const { return m_edit; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

private:
    void confirm();

    InstrumentNameDialog& m_logic;
    QLineEdit* m_edit = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace quorvix::gui
