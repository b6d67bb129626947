// OvraPrintSetting: the printer settings tool of the Ovra printers.
#include "ovracommandline.h"
#include "ovralog.h"
#include "ovraprogram.h"
#include "translation.h"
#include "widget.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char* argv[])
{
    OvraCommandLine commandLine("The printer settings tool of the Ovra printers: the network address of a "
                                "USB printer, head cleaning and calibration.",
                                "[--help] [--version]");
    const int iExit = commandLine.ProcessBeforeDisplay(argc, argv);
    if (iExit != OvraCommandLine::kRun)
        return iExit;
    QApplication app(argc, argv);
    SetOvraProgram(en_Program_PrintSetting);
    EnableLogOnRequest();
    InitSettingResources();
    QTranslator translator;
    InstallTranslation(app, translator);
    Widget window;
    window.show();
    return app.exec();
}
