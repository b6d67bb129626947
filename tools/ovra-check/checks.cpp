#include "checks.h"

#include "ipaddress.h"
#include "modelinfo.h"

#include <QUrl>
#include <QUrlQuery>

const QList<stExpectedFolder> c_listExpectedFolders = {{".", 0755},    {"bin", 0755},  {"cfg", 0755},  {"log", 0755},
                                                       {"temp", 0700}, {"scan", 0755}, {"tool", 01777}};
const QStringList c_listExpectedPrograms = {"OvraPrintService", "OvraPrinterTool", "OvraPrintSetting", "ovraK246FW",
                                            "OvraScanDaemon",   "ovra-status",     "ovra-decode",      "ovra-check"};

namespace {

const char c_szReinstall[] = "reinstall the package: sudo apt install --reinstall ovra-printer-k246";

stCheckResult Result(const QString& strCheck, enCheckStatus enStatus, const QString& strReason,
                     const QString& strAdvice = QString())
{
    return {strCheck, enStatus, strReason, enStatus == en_Check_Ok ? QString() : strAdvice};
}

QString Octal(int iMode) { return QString::number(iMode, 8).rightJustified(4, '0'); }

// What is wrong with one entry of the install root; empty when nothing is.
QString PathProblem(const stPathFact& fact, bool bFolder, int iMode)
{
    if (!fact.bExists)
        return fact.strName + " is missing";
    if (bFolder && !fact.bIsDir)
        return fact.strName + " is not a folder";
    if (bFolder && fact.iMode != iMode)
        return QString("%1 has mode %2, not %3").arg(fact.strName, Octal(fact.iMode), Octal(iMode));
    if (!bFolder && !fact.bExecutable)
        return fact.strName + " is not executable";
    return QString();
}

const stPathFact* FindPath(const QList<stPathFact>& listPaths, const QString& strName)
{
    for (const stPathFact& fact : listPaths) {
        if (fact.strName == strName)
            return &fact;
    }
    return nullptr;
}

// The USB product ID of the queue's model, 0 when the URI names none.
int UsbProductId(const QString& strUri)
{
    const stModelInfo* pModel = FindModelByDeviceURI(strUri);
    return pModel ? pModel->iProductId : 0;
}

} // namespace

bool IsMakerQueue(const stCupsQueue& queue)
{
    return queue.strModel.startsWith("Ovra", Qt::CaseInsensitive)
           || queue.strUri.startsWith("usb://Ovra/", Qt::CaseInsensitive);
}

QString QueueConnection(const QString& strUri)
{
    const QString strScheme = QUrl(strUri).scheme().toLower();
    if (strScheme == "usb")
        return "usb";
    if (strScheme == "socket" || strScheme == "ovrasocket")
        return "network";
    return QString();
}

QString UriHost(const QString& strUri) { return QUrl(strUri).host(); }

QString UriSerial(const QString& strUri) { return QUrlQuery(QUrl(strUri)).queryItemValue("serial"); }

stCheckResult CheckInstallRoot(const QString& strRoot, const QList<stPathFact>& listPaths)
{
    const stPathFact* pRoot = FindPath(listPaths, ".");
    if (!pRoot || !pRoot->bExists)
        return Result("install root", en_Check_Fail, strRoot + " is missing: the package is not installed",
                      "sudo apt install ovra-printer-k246");
    QStringList listProblems;
    for (const stExpectedFolder& folder : c_listExpectedFolders) {
        const stPathFact* pFact = FindPath(listPaths, folder.szName);
        const QString strProblem =
            pFact ? PathProblem(*pFact, true, folder.iMode) : QString(folder.szName) + " is missing";
        if (!strProblem.isEmpty())
            listProblems << strProblem;
    }
    for (const QString& strProgram : c_listExpectedPrograms) {
        const stPathFact* pFact = FindPath(listPaths, "bin/" + strProgram);
        const QString strProblem = pFact ? PathProblem(*pFact, false, 0) : "bin/" + strProgram + " is missing";
        if (!strProblem.isEmpty())
            listProblems << strProblem;
    }
    if (listProblems.isEmpty())
        return Result("install root", en_Check_Ok, strRoot + ": folders, modes and programs as installed");
    return Result("install root", en_Check_Fail, strRoot + ": " + listProblems.join(", "), c_szReinstall);
}

QList<stCheckResult> CheckProcesses(const stProcessFacts& facts)
{
    QList<stCheckResult> list;
    list << (facts.bServiceRunning ? Result("print service", en_Check_Ok, "OvraPrintService is running")
                                   : Result("print service", en_Check_Fail, "OvraPrintService is not running",
                                            "sudo systemctl restart ovra-k246-printservice"));
    if (!facts.bDaemonRunning) {
        list << Result("scan daemon", en_Check_Fail, "OvraScanDaemon is not running",
                       "sudo systemctl restart ovra-k246-scandaemon");
    } else if (!facts.bDaemonListening) {
        list << Result("scan daemon", en_Check_Fail,
                       QString("OvraScanDaemon runs but 127.0.0.1:%1 does not accept").arg(facts.iDaemonPort),
                       "see scan/ovra_scan_err.log, then sudo systemctl restart ovra-k246-scandaemon");
    } else {
        list << Result("scan daemon", en_Check_Ok,
                       QString("OvraScanDaemon is running and listening on 127.0.0.1:%1").arg(facts.iDaemonPort));
    }
    return list;
}

stCheckResult CheckQueue(const stCupsQueue& queue)
{
    const QString strCheck = "queue " + queue.strName;
    const QString strConnection = QueueConnection(queue.strUri);
    if (!FindModelByDisplayName(queue.strModel))
        return Result(strCheck, en_Check_Fail,
                      QString("the PPD's model '%1' is not one of the suite").arg(queue.strModel),
                      "choose the Ovra PPD of the printer's model for the queue");
    if (strConnection.isEmpty())
        return Result(
            strCheck, en_Check_Fail,
            QString("device URI %1 is neither usb:// nor socket://: the service does not watch it").arg(queue.strUri),
            "set the queue's device to the USB printer, or to socket://ADDRESS of the network printer");
    if (strConnection == "usb" && !UsbProductId(queue.strUri))
        return Result(strCheck, en_Check_Fail, QString("USB URI %1 names no model of the family").arg(queue.strUri),
                      "set the queue's device to the USB printer as CUPS lists it");
    if (strConnection == "network" && !IsIPValid(UriHost(queue.strUri)))
        return Result(strCheck, en_Check_Fail,
                      QString("network URI %1 has no IPv4 address: the service polls addresses only").arg(queue.strUri),
                      "set the device URI to socket://ADDRESS with the printer's IPv4 address");
    return Result(strCheck, en_Check_Ok, QString("%1, %2").arg(queue.strModel, queue.strUri));
}

QList<stCheckResult> CheckCups(const stCupsFacts& facts)
{
    QList<stCheckResult> list;
    if (!facts.bReachable) {
        list << Result("CUPS", en_Check_Fail, QString("%1 does not answer: %2").arg(facts.strServer, facts.strError),
                       "sudo systemctl restart cups");
        return list;
    }
    QList<stCupsQueue> listMaker;
    for (const stCupsQueue& queue : facts.listQueues) {
        if (IsMakerQueue(queue))
            listMaker << queue;
    }
    list << (listMaker.isEmpty()
                 ? Result("CUPS", en_Check_Warn, facts.strServer + " answers but has no queue of an Ovra printer",
                          "add the printer in the CUPS printer settings (http://localhost:631)")
                 : Result("CUPS", en_Check_Ok,
                          QString("%1 answers, %2 Ovra queue(s)").arg(facts.strServer).arg(listMaker.size())));
    for (const stCupsQueue& queue : listMaker)
        list << CheckQueue(queue);
    return list;
}

stCheckResult CheckUsbPrinter(const stCupsQueue& queue, const QList<stUsbDevice>& listDevices)
{
    const QString strCheck = "USB printer " + queue.strName;
    const QString strSerial = UriSerial(queue.strUri);
    const int iProductId = UsbProductId(queue.strUri);
    for (const stUsbDevice& device : listDevices) {
        const bool bSame = strSerial.isEmpty() ? device.iProductId == iProductId : device.strSerial == strSerial;
        if (!bSame)
            continue;
        if (!device.bAccessible)
            return Result(strCheck, en_Check_Fail, device.strNode + " is present but this user may not use it",
                          "the udev rule 70-ovra-k246.rules gives the desktop user access (uaccess): "
                          "log out and in, or run sudo udevadm trigger");
        return Result(strCheck, en_Check_Ok, device.strNode + " is present and accessible");
    }
    return Result(strCheck, en_Check_Warn,
                  QString("no USB device of the maker with serial '%1'").arg(strSerial.isEmpty() ? "-" : strSerial),
                  "switch the printer on and check its USB cable");
}

stCheckResult CheckNetworkPrinter(const stCupsQueue& queue, const QList<stNetAnswer>& listAnswers)
{
    const QString strCheck = "network printer " + queue.strName;
    const QString strAddress = UriHost(queue.strUri);
    for (const stNetAnswer& answer : listAnswers) {
        if (answer.strAddress == strAddress && answer.bAnswered)
            return Result(strCheck, en_Check_Ok, strAddress + " answers its status request");
    }
    return Result(strCheck, en_Check_Fail, strAddress + " does not answer its status request (UDP port 9300)",
                  "switch the printer on, check its address on its panel and that the network lets UDP 9300 through");
}

stCheckResult CheckHeartbeat(const stServiceFiles& files, bool bServiceRunning)
{
    const QString strAdvice = bServiceRunning ? "the service hangs: sudo systemctl restart ovra-k246-printservice"
                                              : "sudo systemctl restart ovra-k246-printservice";
    if (!files.bHeartbeatExists)
        return Result("heartbeat", en_Check_Fail, "cfg/service.hb is missing: the service has not run", strAdvice);
    const QString strAge = QString("cfg/service.hb is %1 s old").arg(files.iHeartbeatAgeS);
    if (files.iHeartbeatAgeS > c_iHeartbeatFailAgeS)
        return Result("heartbeat", en_Check_Fail, strAge, strAdvice);
    if (files.iHeartbeatAgeS > c_iHeartbeatWarnAgeS)
        return Result("heartbeat", en_Check_Warn, strAge, "wait a minute and check again; " + strAdvice);
    return Result("heartbeat", en_Check_Ok, strAge);
}

stCheckResult CheckStatusFiles(const stServiceFiles& files, const QList<stCupsQueue>& listQueues)
{
    if (!files.bListExists)
        return Result("status files", en_Check_Fail, "cfg/printerlist.ini is missing",
                      "sudo systemctl restart ovra-k246-printservice");
    QStringList listProblems;
    enCheckStatus enStatus = en_Check_Ok;
    for (const stCupsQueue& queue : listQueues) {
        bool bListed = false;
        for (const stListedPrinter& printer : files.listPrinters)
            bListed = bListed || printer.strName == queue.strName;
        if (IsMakerQueue(queue) && !QueueConnection(queue.strUri).isEmpty() && !bListed) {
            listProblems << queue.strName + " is not in the printer list";
            enStatus = en_Check_Fail;
        }
    }
    for (const stListedPrinter& printer : files.listPrinters) {
        if (!printer.bHasStatusFile) {
            listProblems << "cfg/" + printer.strName + ".dat is missing";
            enStatus = qMax(enStatus, en_Check_Warn);
        } else if (!printer.bStatusParses) {
            listProblems << "cfg/" + printer.strName + ".dat does not parse";
            enStatus = en_Check_Fail;
        }
    }
    if (enStatus == en_Check_Ok)
        return Result("status files", en_Check_Ok,
                      QString("%1 printer(s) listed, each with its status").arg(files.listPrinters.size()));
    return Result("status files", enStatus, listProblems.join(", "),
                  enStatus == en_Check_Warn ? "a printer that has not answered yet has none: see its line above"
                                            : "sudo systemctl restart ovra-k246-printservice");
}

stCheckResult CheckSane(const stSaneFacts& facts)
{
    if (!facts.bDllListsOvra)
        return Result("SANE backend", en_Check_Fail, facts.strConfigDir + "/dll.d/ovra does not name the backend",
                      c_szReinstall);
    if (!facts.bConfigExists)
        return Result("SANE backend", en_Check_Fail, facts.strConfigDir + "/ovra.conf is missing", c_szReinstall);
    return Result("SANE backend", en_Check_Ok, "configured in " + facts.strConfigDir);
}

namespace {

// The maker's queues whose URI and model the service can work with, of one connection.
QList<stCupsQueue> UsableQueues(const QList<stCupsQueue>& listQueues, const QString& strConnection)
{
    QList<stCupsQueue> list;
    for (const stCupsQueue& queue : listQueues) {
        if (IsMakerQueue(queue) && QueueConnection(queue.strUri) == strConnection
            && CheckQueue(queue).enStatus == en_Check_Ok)
            list << queue;
    }
    return list;
}

} // namespace

QStringList NetworkAddresses(const QList<stCupsQueue>& listQueues)
{
    QStringList list;
    for (const stCupsQueue& queue : UsableQueues(listQueues, "network"))
        list << UriHost(queue.strUri);
    return list;
}

QList<stCheckResult> JudgeDesk(const stDeskFacts& facts)
{
    QList<stCheckResult> list;
    list << CheckInstallRoot(facts.strRoot, facts.listPaths);
    list << CheckProcesses(facts.processes);
    list << CheckCups(facts.cups);
    // A queue whose line fails has no printer line: its printer is not the one it names.
    for (const stCupsQueue& queue : UsableQueues(facts.cups.listQueues, "usb"))
        list << CheckUsbPrinter(queue, facts.listUsbDevices);
    for (const stCupsQueue& queue : UsableQueues(facts.cups.listQueues, "network"))
        list << CheckNetworkPrinter(queue, facts.listNetAnswers);
    list << CheckHeartbeat(facts.files, facts.processes.bServiceRunning);
    list << CheckStatusFiles(facts.files, facts.cups.listQueues);
    list << CheckSane(facts.sane);
    return list;
}

enCheckStatus WorstStatus(const QList<stCheckResult>& listResults)
{
    enCheckStatus enWorst = en_Check_Ok;
    for (const stCheckResult& result : listResults)
        enWorst = qMax(enWorst, result.enStatus);
    return enWorst;
}

const char* StatusWord(enCheckStatus enStatus)
{
    switch (enStatus) {
    case en_Check_Ok: return "ok";
    case en_Check_Warn: return "warn";
    default: return "fail";
    }
}
