#include "ConverterApp.h"

#include "ConverterWindow.h"
#include "Icon.h"

#include <QFileInfo>
#include <QuorvixVersion.h>

namespace quorvix::gui {

ConverterApp::ConverterApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationVersion(QStringLiteral(QUORVIX_VERSION));
    // Ties the window to its menu entry and icon on Wayland.
    setDesktopFileName(QStringLiteral("org.quorvix.Quorvix"));
    setWindowIcon(applicationIcon());
}

QStringList ConverterApp::filesToOpen(const QStringList& arguments)
{
    QStringList files;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (!arguments[i].isEmpty())
            files.append(QFileInfo(arguments[i]).absoluteFilePath());
    }
    return files;
}

bool ConverterApp::InitInstance()
{
    ConverterWindow window;
    window.openFilesLater(filesToOpen(arguments()));
    window.exec();
    return false;
}

} // namespace quorvix::gui
