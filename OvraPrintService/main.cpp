// OvraPrintService: finds the Ovra queues in CUPS, polls every printer, keeps the
// status files and cancels a printer's own job when CUPS cancels it.
#include "checkisrunning.h"
#include "ovracommandline.h"
#include "ovrajournal.h"
#include "ovralog.h"
#include "ovrapaths.h"
#include "ovraprogram.h"
#include "sharedprinterlist.h"
#include "trddevicemanage.h"

#include <QCoreApplication>

#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

// systemd stops the service with SIGTERM, a terminal with SIGINT: the stop is written
// to standard error (the journal), then the signal ends the service as before, with
// nothing left to clean up (the files it writes are whole at every moment).
void noteStop(int sig)
{
    const char* line = sig == SIGINT ? "stopped (SIGINT)\n" : "stopped (SIGTERM)\n";
    ssize_t ignored = write(STDERR_FILENO, line, strlen(line));
    (void)ignored;
    std::signal(sig, SIG_DFL);
    raise(sig);
}

} // namespace

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
    if (CheckIsRunning()) {
        OvraJournalLine("another OvraPrintService is running: not started");
        return 0;
    }
    OVRA_LOG("Start service, enable log");
    std::signal(SIGTERM, noteStop);
    std::signal(SIGINT, noteStop);
    OvraJournalLine("started, install root %s", qPrintable(OvraPaths::InstallRoot()));

    SharedPrinterList listPrinter;
    TrdDeviceManage* pDeviceManage = new TrdDeviceManage;
    pDeviceManage->Init(&listPrinter);
    pDeviceManage->SlotTaskStart();

    const int iResult = app.exec();
    delete pDeviceManage;
    return iResult;
}
