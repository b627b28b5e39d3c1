#pragma once

#include <QApplication>

namespace quorvix::gui {

/// The desktop program: one main window, run modally; the program ends when it closes.
class ConverterApp : public QApplication
{
    Q_OBJECT

public:
    ConverterApp(int& argc, char** argv);

    /// Shows the main window and returns when it has closed. Returns false: the program has nothing left to
    /// run, so it ends without entering an event loop of its own.
    bool InitInstance();
};

} // namespace quorvix::gui
