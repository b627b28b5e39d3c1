#pragma once

#include "DialogUnits.h"

#include <QDialog>
#include <QString>
#include <Qt>
#include <span>

class QDialog;
class QWidget;

namespace quorvix::gui {

/// Kinds of control a dialog template places.
enum class ControlKind
{
    PushButton,
    DefaultPushButton,
    Edit,
    ReadOnlyEdit,
    Label,
    GroupBox,
    DropDownList,
    Icon,
};

/// One control of a dialog template, in dialog units.
struct ControlTemplate
{
    int id;
    ControlKind kind;
    const char* text;
    int x;
    int y;
    int width;
    int height;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
};

/// The object name a template's control gets: "button1000", "edit1001", "label1004", "group1017",
/// "combo1003", "icon".
QString controlName(ControlKind kind, int id);

/// The frame of the program's dialogs: a title and a close box only, no minimise, maximise or help button.
inline constexpr Qt::WindowFlags kDialogFrame = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

/// The control a template made in the dialog (see controlName); null when there is none of that type.
template <typename Widget>
Widget* templateControl(const QDialog& dialog, ControlKind kind, int id)
{
    return dialog.findChild<Widget*>(controlName(kind, id));
}

/// Gives the dialog its fixed client size and title and creates the controls at their template rectangles
/// (group boxes below everything else); focusable controls take the tab order of the list. A label whose
/// text is wider than its rectangle grows away from its aligned edge until the text fits.
void buildDialog(QDialog& dialog, const QString& title, int width, int height,
                 std::span<const ControlTemplate> controls, const DialogUnits& units);

} // namespace quorvix::gui
