#include "GuiTestSupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace quorvix::gui::test {

namespace {

QWidget* openModal()
{
    QWidget* modal = QApplication::activeModalWidget();
    return modal != nullptr && modal->isVisible() ? modal : nullptr;
}

void rejectModal(QWidget* modal)
{
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
    else
        modal->close();
}

} // namespace

ModalGuard::ModalGuard(int timeoutMs, QObject* parent) : QObject(parent)
{
    m_start.setSingleShot(true);
    m_repeat.setInterval(50);
    connect(&m_start, &QTimer::timeout, this, [this] {
        m_fired = true;
        m_repeat.start();
    });
    connect(&m_repeat, &QTimer::timeout, this, &ModalGuard::closeModals);
    m_start.start(timeoutMs);
}

void ModalGuard::closeModals()
{
    if (QWidget* modal = openModal()) {
        qWarning("ModalGuard: closing the stuck modal \"%s\"", qPrintable(describeModal(modal)));
        rejectModal(modal);
    }
}

ModalScript::ModalScript(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &ModalScript::poll);
    m_timer.start();
}

ModalScript& ModalScript::then(Step step)
{
    m_steps.push_back(std::move(step));
    return *this;
}

bool ModalScript::finished() const
{
    if (m_index >= m_steps.size())
        return true;
    return m_index + 1 == m_steps.size() && m_acted && !m_pending && (!m_target || !m_target->isVisible());
}

void ModalScript::poll()
{
    QWidget* modal = openModal();
    if (m_acted) {
        if (modal != nullptr && modal == m_target) {
            if (m_pending)
                return;
            m_acted = false; // still open: try the same step again
        } else {
            ++m_index;
            m_acted = false;
            m_target = nullptr;
        }
    }
    if (modal == nullptr || m_index >= m_steps.size())
        return;
    if (modal != m_lastLogged) {
        m_lastLogged = modal;
        m_seen.append(describeModal(modal));
    }
    const Step& step = m_steps[m_index];
    if (!step.ready(modal))
        return;
    m_acted = true;
    m_pending = true;
    m_target = modal;
    QTimer::singleShot(0, modal, [this, modal, act = step.act] {
        m_pending = false;
        act(modal);
    });
}

QString describeModal(QWidget* modal)
{
    if (auto* box = qobject_cast<QMessageBox*>(modal))
        return box->text();
    return QLatin1Char('[') + modal->windowTitle() + QLatin1Char(']');
}

ModalScript::Step answerBox(int which)
{
    return {[](QWidget*) { return true; },
            [which](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                QAbstractButton* button =
                    box != nullptr ? box->button(static_cast<QMessageBox::StandardButton>(which)) : nullptr;
                if (button != nullptr)
                    button->click();
                else
                    rejectModal(modal);
            }};
}

ModalScript::Step chooseFile(const QString& path, QString* proposed)
{
    auto first = std::make_shared<bool>(true);
    return {[path, proposed, first](QWidget* modal) {
                auto* dialog = qobject_cast<QFileDialog*>(modal);
                if (dialog == nullptr)
                    return true; // act() rejects it
                auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                if (*first) {
                    *first = false;
                    if (proposed != nullptr)
                        *proposed = dialog->directory().filePath(edit->text());
                }
                // The file system model loads in a thread and may clear the field: set it until it holds.
                const QFileInfo target(path);
                if (dialog->directory().absolutePath() != target.absolutePath())
                    dialog->setDirectory(target.absolutePath());
                if (QCompleter* completer = edit->completer(); completer && completer->popup()->isVisible())
                    completer->popup()->hide();
                if (edit->text() != target.fileName())
                    edit->setText(target.fileName());
                return dialog->selectedFiles() == QStringList{target.absoluteFilePath()};
            },
            [](QWidget* modal) {
                if (auto* dialog = qobject_cast<QFileDialog*>(modal))
                    QTest::keyClick(dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")),
                                    Qt::Key_Return);
                else
                    rejectModal(modal);
            }};
}

ModalScript::Step cancelDialog()
{
    return {[](QWidget*) { return true; }, [](QWidget* modal) { rejectModal(modal); }};
}

} // namespace quorvix::gui::test
