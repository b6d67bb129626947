// OvraScanDaemon: serves a scan client on the same computer over TCP and
// drives the scanners of USB and network multifunction printers for it.
#include "daemonconfig.h"
#include "daemonprocess.h"
#include "listener.h"
#include "ovracli.h"
#include "scanlog.h"

#include <cstdlib>

namespace {

const char kUsage[] = "usage: OvraScanDaemon [--help] [--version]\n"
                      "Serves a scan client on 127.0.0.1 port 7001 (OVRA_SCAN_DAEMON_PORT) and drives the\n"
                      "scanners of USB and network multifunction printers for it. Detaches itself unless\n"
                      "OVRA_SCAN_DAEMON_FOREGROUND=1; logs into scan/ of the install root.\n"
                      "  -h, --help     print this help\n"
                      "      --version  print the version\n";

} // namespace

int main(int argc, char* argv[])
{
    const int commandLineExit = ParseCommonOptions(argc, argv, "OvraScanDaemon", kUsage);
    if (commandLineExit != kOvraRun)
        return commandLineExit;
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
