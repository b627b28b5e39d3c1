#include "DialogTemplate.h"

#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <vector>

namespace quorvix::gui {

QString controlName(ControlKind kind, int id)
{
    switch (kind) {
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton:
        return QStringLiteral("button%1").arg(id);
    case ControlKind::Edit:
    case ControlKind::ReadOnlyEdit:
        return QStringLiteral("edit%1").arg(id);
    case ControlKind::Label:
        return QStringLiteral("label%1").arg(id);
    case ControlKind::GroupBox:
        return QStringLiteral("group%1").arg(id);
    case ControlKind::DropDownList:
        return QStringLiteral("combo%1").arg(id);
    case ControlKind::Icon:
        return QStringLiteral("icon");
    }
    return {};
}

namespace {

QWidget* createControl(QDialog& dialog, const ControlTemplate& control)
{
    const QString text = QString::fromUtf8(control.text);
    switch (control.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton: {
        auto* button = new QPushButton(text, &dialog);
        button->setDefault(control.kind == ControlKind::DefaultPushButton);
        return button;
    }
    case ControlKind::Edit:
    case ControlKind::ReadOnlyEdit: {
        auto* edit = new QLineEdit(text, &dialog);
        edit->setReadOnly(control.kind == ControlKind::ReadOnlyEdit);
        edit->setAlignment(control.alignment);
        return edit;
    }
    case ControlKind::Label:
    case ControlKind::Icon: {
        auto* label = new QLabel(text, &dialog);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(control.alignment);
        return label;
    }
    case ControlKind::GroupBox:
        return new QGroupBox(text, &dialog);
    case ControlKind::DropDownList:
        return new QComboBox(&dialog);
    }
    return nullptr;
}

/// A label narrower than its text (the template was drawn for another font) grows away from the side it is
/// aligned to, so its text is never cut while its anchored edge stays where the template puts it.
QRect fitLabel(const QRect& area, const QString& text, const QFontMetrics& metrics, Qt::Alignment alignment)
{
    const int missing = metrics.horizontalAdvance(text) - area.width();
    if (missing <= 0)
        return area;
    if (alignment & Qt::AlignRight)
        return area.adjusted(-missing, 0, 0, 0);
    if (alignment & Qt::AlignHCenter)
        return area.adjusted(-missing / 2, 0, missing - missing / 2, 0);
    return area.adjusted(0, 0, missing, 0);
}

} // namespace

void buildDialog(QDialog& dialog, const QString& title, int width, int height,
                 std::span<const ControlTemplate> controls, const DialogUnits& units)
{
    dialog.setWindowTitle(title);
    dialog.setFixedSize(units.size(width, height));

    std::vector<QWidget*> tabChain;
    std::vector<QWidget*> groups;
    for (const ControlTemplate& control : controls) {
        QWidget* widget = createControl(dialog, control);
        widget->setObjectName(controlName(control.kind, control.id));
        QRect area = units.rect(control.x, control.y, control.width, control.height);
        if (control.kind == ControlKind::Label)
            area = fitLabel(area, QString::fromUtf8(control.text), widget->fontMetrics(), control.alignment);
        widget->setGeometry(area);
        if (control.kind == ControlKind::GroupBox)
            groups.push_back(widget);
        else if (widget->focusPolicy() & Qt::TabFocus)
            tabChain.push_back(widget);
    }
    // A group box frames controls listed before it too; kept at the bottom, it never covers them.
    for (QWidget* group : groups)
        group->lower();
    for (std::size_t i = 1; i < tabChain.size(); ++i)
        QWidget::setTabOrder(tabChain[i - 1], tabChain[i]);
}

} // namespace quorvix::gui
