#pragma once

#include <QDialog>

namespace quorvix::gui {

/// The "Info" box (template 130): the program's name, version and credits. It changes nothing; its close
/// box, Escape and Enter all close it.
class InfoDialog : public QDialog
{
    Q_OBJECT

public:
    explicit InfoDialog(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace quorvix::gui
