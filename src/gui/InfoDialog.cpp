#include "InfoDialog.h"

#include "DialogTemplate.h"
#include "Icon.h"
#include "app/InfoTexts.h"

#include <QKeyEvent>
#include <QLabel>

namespace quorvix::gui {

namespace {

constexpr Qt::Alignment kCentre = Qt::AlignHCenter | Qt::AlignVCenter;

// Template 130.
constexpr ControlTemplate kInfoTemplate[] = {
    {0, ControlKind::Icon, "", 6, 5, 20, 20, kCentre},
    {1011, ControlKind::Label, info::kProgramName, 40, 5, 106, 8, kCentre},
    {1018, ControlKind::Label, info::kVersionLine, 41, 16, 103, 8, kCentre},
    {1012, ControlKind::Label, info::kLibraryLine, 36, 28, 113, 8, kCentre},
    {1013, ControlKind::Label, info::kLegalNotice, 6, 41, 173, 8, kCentre},
    {1014, ControlKind::Label, info::kContact, 6, 56, 173, 8, kCentre},
    {1015, ControlKind::Label, info::kWebAddress, 6, 68, 173, 8, kCentre},
    {1016, ControlKind::Label, info::kReaderDocs, 6, 80, 173, 8, kCentre},
};

} // namespace

InfoDialog::InfoDialog(QWidget* parent) : QDialog(parent)
{
    // A small tool-window caption with a close box; the box has no push button.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    const DialogUnits units(font());
    buildDialog(*this, QStringLiteral("Info"), 186, 95, kInfoTemplate, units);
    auto* icon = findChild<QLabel*>(controlName(ControlKind::Icon, 0));
    const QIcon appIcon = applicationIcon();
    setWindowIcon(appIcon);
    const int side = qMin(icon->width(), icon->height());
    icon->setPixmap(appIcon.pixmap(QSize(side, side)));
}

void InfoDialog::keyPressEvent(QKeyEvent* event)
{
    // With no push button to press, Enter closes the box as OK.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace quorvix::gui
