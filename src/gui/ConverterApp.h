#pragma once

#include <QApplication>

namespace quorvix::gui {

/// The desktop program: one main window, run modally; the program ends when it closes.
class ConverterApp : public QApplication
{
    Q_OBJECT

public:
    ConverterApp(int& argc, char** argv);

    /// The files named on the command line (every argument after the program's name that Qt left; a file
    /// manager passes one with %f), made absolute.
    static QStringList filesToOpen(const QStringList& arguments);

    /// Shows the main window, then opens the files named on the command line as their load commands would,
    /// and returns when the window has closed. Returns false: the program has nothing left to
    /// run, so it ends without entering an event loop of its own.
    bool InitInstance();
};

} // namespace quorvix::gui
