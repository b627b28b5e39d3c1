#include "ConverterApp.h"
#include "base/TemporaryFiles.h"

int main(int argc, char** argv)
{
    quorvix::removeTemporaryFilesOnSignals();
    quorvix::gui::ConverterApp app(argc, argv);
    return app.InitInstance() ? app.exec() : 0;
}
