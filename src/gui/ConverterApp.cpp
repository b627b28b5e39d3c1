#include "ConverterApp.h"

#include "ConverterWindow.h"
#include "Icon.h"

#include <QuorvixVersion.h>

namespace quorvix::gui {

ConverterApp::ConverterApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationVersion(QStringLiteral(QUORVIX_VERSION));
    // Ties the window to its menu entry and icon on Wayland.
    setDesktopFileName(QStringLiteral("org.quorvix.Quorvix"));
    setWindowIcon(applicationIcon());
}

bool ConverterApp::InitInstance()
{
    ConverterWindow window;
    window.exec();
    return false;
}

} // namespace quorvix::gui
