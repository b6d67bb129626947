// ovra-check: checks a desk whose Ovra printers or scanners do not work, one line a
// check (ok, warn or fail) with the reason and what to do; --json for scripts. The exit
// status is the worst line's: 0 all ok, 1 a warning, 2 a failure.
#include "checks.h"
#include "facts.h"
#include "ovracommandline.h"
#include "ovrapaths.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

const char c_szSysfsUsbDevices[] = "/sys/bus/usb/devices";

stDeskFacts GatherDesk()
{
    stDeskFacts facts;
    facts.strRoot = OvraPaths::InstallRoot();
    facts.listPaths = GatherInstallRoot();
    facts.processes = GatherProcesses();
    facts.cups = GatherCups();
    facts.listUsbDevices = GatherUsbDevices(c_szSysfsUsbDevices);
    facts.listNetAnswers = GatherNetAnswers(NetworkAddresses(facts.cups.listQueues));
    facts.files = GatherServiceFiles();
    facts.sane = GatherSane();
    return facts;
}

void PrintText(const QList<stCheckResult>& listResults)
{
    for (const stCheckResult& result : listResults) {
        std::printf("%-4s  %s: %s", StatusWord(result.enStatus), qPrintable(result.strCheck),
                    qPrintable(result.strReason));
        if (!result.strAdvice.isEmpty())
            std::printf(" -- %s", qPrintable(result.strAdvice));
        std::printf("\n");
    }
}

void PrintJson(const QList<stCheckResult>& listResults)
{
    QJsonArray array;
    for (const stCheckResult& result : listResults)
        array.append(QJsonObject{{"check", result.strCheck},
                                 {"status", StatusWord(result.enStatus)},
                                 {"reason", result.strReason},
                                 {"advice", result.strAdvice}});
    std::printf("%s\n", QJsonDocument(array).toJson(QJsonDocument::Indented).constData());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    OvraCommandLine commandLine(
        "Checks the Ovra printer suite on this computer: the package's files and folder modes, the print "
        "service and the scan daemon, CUPS and the Ovra queues, each USB and network printer, the "
        "service's heartbeat and status files, and the SANE backend. One line a check: ok, warn or fail, "
        "with the reason and what to do. Exit status: 0 all ok, 1 a warning, 2 a failure.",
        "[--json]");
    commandLine.Parser().addOption({"json", "One JSON array of {check, status, reason, advice}, for scripts."});
    const int iExit = commandLine.Process(app.arguments());
    if (iExit != OvraCommandLine::kRun)
        return iExit;
    if (!commandLine.Parser().positionalArguments().isEmpty()) {
        std::fprintf(stderr, "usage: ovra-check [--json]\n");
        return en_Exit_Usage;
    }
    const QList<stCheckResult> listResults = JudgeDesk(GatherDesk());
    if (commandLine.Parser().isSet("json"))
        PrintJson(listResults);
    else
        PrintText(listResults);
    return WorstStatus(listResults);
}
