#include "QtDialogHost.h"

#include "InfoDialog.h"
#include "InstrumentNameWindow.h"
#include "SelectDefinitionWindow.h"
#include "TextCodec.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace quorvix::gui {

namespace {

QString patternsOf(QString pattern)
{
    QStringList patterns;
    for (QString& part : pattern.replace(u';', u' ').split(u' ', Qt::SkipEmptyParts))
        patterns.append(part == QLatin1String("*.*") ? QStringLiteral("*") : part);
    return patterns.isEmpty() ? QStringLiteral("*") : patterns.join(u' ');
}

/// Push buttons with their text only, as every other button of the program.
void plainButtons(QMessageBox& box)
{
    for (QAbstractButton* button : box.buttons())
        button->setIcon(QIcon());
}

/// A message box with the program's caption and plain text: names from files are never read as markup.
void showMessage(QWidget* owner, const QString& text, QMessageBox::Icon icon, bool applicationModal)
{
    QMessageBox box(icon, messageCaption(), text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    plainButtons(box);
    if (applicationModal)
        box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace

QStringList toQtNameFilters(std::string_view classicFilter)
{
    const QStringList parts = displayText(classicFilter).split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        if (description.isEmpty())
            break; // "||" ends the list
        const QString pattern = i + 1 < parts.size() ? parts[i + 1] : QString();
        filters.append(description + QStringLiteral(" (") + patternsOf(pattern) + u')');
    }
    return filters;
}

QString messageCaption()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

void QtDialogHost::stateChanged()
{
    if (m_onStateChanged)
        m_onStateChanged();
}

QString nameFilterSuffix(const QString& nameFilter)
{
    const qsizetype open = nameFilter.lastIndexOf(u'(');
    if (open < 0 || !nameFilter.endsWith(u')'))
        return {};
    const QString first = nameFilter.mid(open + 1, nameFilter.size() - open - 2).section(u' ', 0, 0);
    if (!first.startsWith(QLatin1String("*.")))
        return {};
    const QString suffix = first.mid(2);
    return suffix.contains(u'*') || suffix.contains(u'?') || suffix.contains(u'[') ? QString() : suffix;
}

namespace {

/// The index of the selected file type. With its details hidden, the dialog may give the filter as it shows
/// it, without the pattern added after the description; two types whose descriptions differ but whose
/// patterns are the same (*.txt) must still be told apart.
std::size_t filterIndex(const QStringList& filters, const QString& selected)
{
    for (qsizetype i = 0; i < filters.size(); ++i) {
        const QString& filter = filters[i];
        const qsizetype details = filter.lastIndexOf(QLatin1String(" ("));
        if (filter == selected || (details > 0 && filter.left(details) == selected))
            return static_cast<std::size_t>(i);
    }
    return 0;
}

} // namespace

std::optional<SaveChoice> QtDialogHost::runFileDialog(const FileDialogRequest& request, bool save)
{
    QFileDialog dialog(m_mainWindow);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The save command asks about an existing file itself.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    // Show each description as written; the pattern added after it is for matching only.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    const QStringList filters = toQtNameFilters(request.filter);
    dialog.setNameFilters(filters);
    const QString defaultSuffix = displayText(request.defaultExtension);
    dialog.setDefaultSuffix(defaultSuffix);
    // A name typed without an extension takes the one of the file type selected last.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, &defaultSuffix] {
        // The signal carries the text shown, without details; the filter itself has the pattern.
        const QString suffix = nameFilterSuffix(dialog.selectedNameFilter());
        dialog.setDefaultSuffix(suffix.isEmpty() ? defaultSuffix : suffix);
    });
    if (!request.initialName.empty())
        dialog.selectFile(pathText(request.initialName));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    SaveChoice choice;
    choice.path = files.isEmpty() ? std::string() : pathBytes(files.constFirst());
    choice.fileType = filterIndex(filters, dialog.selectedNameFilter());
    return choice;
}

std::optional<std::string> QtDialogHost::openFile(const FileDialogRequest& request)
{
    auto choice = runFileDialog(request, false);
    return choice ? std::optional<std::string>(std::move(choice->path)) : std::nullopt;
}

std::optional<SaveChoice> QtDialogHost::saveFile(const FileDialogRequest& request)
{
    return runFileDialog(request, true);
}

void QtDialogHost::message(std::string_view text, MessageOwner owner, bool taskModal)
{
    QWidget* parent = m_mainWindow;
    if (owner == MessageOwner::SelectionDialog && m_selectionWindow)
        parent = m_selectionWindow;
    showMessage(parent, displayText(text), QMessageBox::NoIcon, taskModal);
}

void QtDialogHost::error(std::string_view text)
{
    showMessage(m_mainWindow, displayText(text), QMessageBox::Warning, false);
}

bool QtDialogHost::askYesNo(std::string_view text)
{
    QMessageBox box(QMessageBox::NoIcon, messageCaption(), displayText(text),
                    QMessageBox::Yes | QMessageBox::No, m_mainWindow);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    plainButtons(box);
    box.exec();
    return box.clickedButton() == box.button(QMessageBox::Yes);
}

bool QtDialogHost::runSelectDefinition(SelectDefinitionDialog& dialog)
{
    SelectDefinitionWindow window(dialog, m_mainWindow);
    m_selectionWindow = &window;
    const bool accepted = window.exec() == QDialog::Accepted;
    m_selectionWindow = nullptr;
    return accepted;
}

bool QtDialogHost::runInstrumentName(InstrumentNameDialog& dialog)
{
    InstrumentNameWindow window(dialog, m_mainWindow);
    return window.exec() == QDialog::Accepted;
}

void QtDialogHost::runInfo()
{
    InfoDialog info(m_mainWindow);
    info.exec();
}

} // namespace quorvix::gui
