#include "ConverterApp.h"

int main(int argc, char** argv)
{
    quorvix::gui::ConverterApp app(argc, argv);
    return app.InitInstance() ? app.exec() : 0;
}
