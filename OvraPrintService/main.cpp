// OvraPrintService: finds the Ovra queues in CUPS, polls every printer, keeps the
// status files and cancels a printer's own job when CUPS cancels it.
#include "checkisrunning.h"
#include "ovracommandline.h"
#include "ovralog.h"
#include "ovraprogram.h"
#include "sharedprinterlist.h"
#include "trddevicemanage.h"

#include <QCoreApplication>

#include <csignal>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    OvraCommandLine commandLine("Finds the Ovra queues in CUPS, polls every printer over USB or the network "
                                "and keeps the status files under the install root.",
                                "[--help] [--version]");
    const int iExit = commandLine.Process(app.arguments());
    if (iExit != OvraCommandLine::kRun)
        return iExit;
    // A write to a CUPS connection that the scheduler has just closed fails with EPIPE
    // instead of ending the service. Commands it starts get SIGPIPE back at its default.
    std::signal(SIGPIPE, SIG_IGN);
    SetOvraProgram(en_Program_PrintService);
    EnableLogOnRequest();
    if (CheckIsRunning())
        return 0;
    OVRA_LOG("Start service, enable log");

    SharedPrinterList listPrinter;
    TrdDeviceManage* pDeviceManage = new TrdDeviceManage;
    pDeviceManage->Init(&listPrinter);
    pDeviceManage->SlotTaskStart();

    const int iResult = app.exec();
    delete pDeviceManage;
    return iResult;
}
