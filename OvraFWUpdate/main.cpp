// OvraFWUpdate (installed as bin/ovraK246FW): sends a firmware file to a USB printer
// of the Ovra family.
#include "ovracommandline.h"
#include "ovralog.h"
#include "ovraprogram.h"
#include "translation.h"
#include "widget.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char* argv[])
{
    OvraCommandLine commandLine("Sends a firmware file (.fls) to a USB printer of the Ovra family.",
                                "[--help] [--version]");
    const int iExit = commandLine.ProcessBeforeDisplay(argc, argv);
    if (iExit != OvraCommandLine::kRun)
        return iExit;
    QApplication app(argc, argv);
    SetOvraProgram(en_Program_FWUpdate);
    EnableLogOnRequest();
    InitFWUpdateResources();
    QTranslator translator;
    InstallTranslation(app, translator, QLocale::system().language());
    Widget window;
    window.show();
    const int iStatus = app.exec();
    return iStatus != 0 ? iStatus : window.ExitStatus();
}
