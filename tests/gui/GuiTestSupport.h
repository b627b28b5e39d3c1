#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

namespace quorvix::gui::test {

/// After the timeout, closes every modal dialog still open (again and again until none is left), so a test
/// that waits for a modal that never gets its answer fails instead of hanging.
class ModalGuard : public QObject
{
public:
    explicit ModalGuard(int timeoutMs = 8000, QObject* parent = nullptr);
    bool fired() const { return m_fired; }

private:
    void closeModals();

    QTimer m_start;
    QTimer m_repeat;
    bool m_fired = false;
};

/// Answers the modal dialogs of a command in order. Each step waits until a modal is open and `ready`
/// says it can be answered (it may prepare the dialog meanwhile); `act` then runs from the event loop, so
/// the modals it opens in turn are answered by the following steps. When the modal is still open after
/// `act`, the step is tried again; once it has closed, the next step takes over.
class ModalScript : public QObject
{
public:
    struct Step
    {
        std::function<bool(QWidget*)> ready;
        std::function<void(QWidget*)> act;
    };

    explicit ModalScript(QObject* parent = nullptr);

    ModalScript& then(Step step);
    /// Every step has acted and its dialog has closed.
    bool finished() const;
    /// One line per modal seen: a message box's text, "[title]" for other dialogs.
    const QStringList& seen() const { return m_seen; }

private:
    void poll();

    QTimer m_timer;
    std::vector<Step> m_steps;
    std::size_t m_index = 0;
    bool m_acted = false;
    bool m_pending = false;
    QPointer<QWidget> m_target;
    QPointer<QWidget> m_lastLogged;
    QStringList m_seen;
};

/// The open modal described as ModalScript::seen() lists it.
QString describeModal(QWidget* modal);

/// Clicks the message box's button `which` (a QMessageBox::StandardButton); a dialog that is not a
/// message box is rejected, and the test fails on the seen() list.
ModalScript::Step answerBox(int which);
/// Chooses the file at `path` in a QFileDialog and confirms it. `proposed`, when given, receives the full
/// path the dialog proposed when it opened (its folder and its file name field).
ModalScript::Step chooseFile(const QString& path, QString* proposed = nullptr);
/// Rejects (cancels) the modal dialog.
ModalScript::Step cancelDialog();
/// A step for a dialog of type T: `act` runs on it; any other dialog is rejected.
template <typename T>
ModalScript::Step onDialog(std::function<void(T*)> act)
{
    return {[](QWidget*) { return true; },
            [act](QWidget* modal) {
                if (auto* dialog = qobject_cast<T*>(modal))
                    act(dialog);
                else if (auto* other = qobject_cast<QDialog*>(modal))
                    other->reject();
            }};
}

} // namespace quorvix::gui::test
