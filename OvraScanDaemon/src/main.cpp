// OvraScanDaemon: serves a scan client on the same computer over TCP and
// drives the scanners of USB and network multifunction printers for it.
#include "daemonconfig.h"
#include "daemonprocess.h"
#include "listener.h"
#include "scanlog.h"

#include <cstdlib>

int main(int argc, char* argv[])
{
    (void)argc;
    (void)argv;
    if (!daemonStaysInForeground())
        create_daemon();
    if (!installQuitHandler()) {
        // The logs are not open yet: open them for this one line.
        OvraReopenDbg();
        OvraLogErr("sigaction error.");
        OvraJournalLine("cannot install the SIGQUIT handler: not started");
        exit(EXIT_FAILURE);
    }
    return static_cast<int>(mainProc());
}
