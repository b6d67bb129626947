#include "facts.h"

#include "ovrapaths.h"
#include "printerinfo.h"
#include "statusfile.h"
#include "udpchannel.h"

#include "ovrascan/daemonconnection.h"

#include <cups/cups.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace {

const int c_iCupsConnectTimeoutMs = 1000;
const double c_dCupsRequestTimeoutS = 2.0;
const int c_iOvraUsbVendorId = 0x3A53;

stPathFact PathFact(const QString& strRoot, const QString& strName)
{
    stPathFact fact;
    fact.strName = strName;
    struct stat info {
    };
    const QByteArray path = QFile::encodeName(strRoot + strName);
    if (::stat(path.constData(), &info) != 0)
        return fact;
    fact.bExists = true;
    fact.bIsDir = S_ISDIR(info.st_mode);
    fact.iMode = int(info.st_mode & 07777);
    fact.bExecutable = S_ISREG(info.st_mode) && ::access(path.constData(), X_OK) == 0;
    return fact;
}

// argv[0] of each process, without its folder.
QStringList ProcessNames()
{
    QStringList names;
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!pid.at(0).isDigit())
            continue;
        QFile file("/proc/" + pid + "/cmdline");
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray argv0 = file.read(4096).split('\0').first();
        names << QFileInfo(QFile::decodeName(argv0)).fileName();
    }
    return names;
}

QString ReadLine(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readLine(256)).trimmed() : QString();
}

const char* NoPassword(const char*, http_t*, const char*, const char*, void*) { return nullptr; }

QString AttributeText(ipp_attribute_t* pAttribute)
{
    const char* pText = ippGetString(pAttribute, 0, nullptr);
    return pText ? QString::fromUtf8(pText) : QString();
}

// The queues of a CUPS-Get-Printers response.
QList<stCupsQueue> QueuesOfResponse(ipp_t* pResponse)
{
    QList<stCupsQueue> list;
    stCupsQueue current;
    for (ipp_attribute_t* pAttr = ippFirstAttribute(pResponse); pAttr; pAttr = ippNextAttribute(pResponse)) {
        const char* pName = ippGetName(pAttr);
        if (!pName) { // a group ends
            if (!current.strName.isEmpty())
                list << current;
            current = stCupsQueue();
            continue;
        }
        const QByteArray name(pName);
        if (name == "printer-name")
            current.strName = AttributeText(pAttr);
        else if (name == "device-uri")
            current.strUri = AttributeText(pAttr);
        else if (name == "printer-make-and-model")
            current.strModel = AttributeText(pAttr);
    }
    if (!current.strName.isEmpty())
        list << current;
    return list;
}

bool DllListsOvra(const QString& strDir)
{
    QStringList files{strDir + "/dll.conf"};
    for (const QString& name : QDir(strDir + "/dll.d").entryList(QDir::Files))
        files << strDir + "/dll.d/" + name;
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        while (!file.atEnd()) {
            if (QString::fromUtf8(file.readLine(1024)).section('#', 0, 0).trimmed() == "ovra")
                return true;
        }
    }
    return false;
}

} // namespace

QList<stPathFact> GatherInstallRoot()
{
    const QString strRoot = OvraPaths::InstallRoot();
    QList<stPathFact> list;
    for (const stExpectedFolder& folder : c_listExpectedFolders)
        list << PathFact(strRoot, folder.szName);
    for (const QString& strProgram : c_listExpectedPrograms)
        list << PathFact(strRoot, "bin/" + strProgram);
    return list;
}

stProcessFacts GatherProcesses()
{
    stProcessFacts facts;
    const QStringList names = ProcessNames();
    facts.bServiceRunning = names.contains("OvraPrintService");
    facts.bDaemonRunning = names.contains("OvraScanDaemon");
    facts.iDaemonPort = ovrascan::DaemonPort();
    std::string error;
    facts.bDaemonListening = ovrascan::DaemonConnection::ConnectLocal(uint16_t(facts.iDaemonPort), &error).IsOpen();
    return facts;
}

stCupsFacts GatherCups()
{
    stCupsFacts facts;
    cupsSetPasswordCB2(NoPassword, nullptr);
    facts.strServer = QString::fromUtf8(cupsServer());
    std::unique_ptr<http_t, void (*)(http_t*)> http(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC,
                                                                 cupsEncryption(), 1, c_iCupsConnectTimeoutMs, nullptr),
                                                    httpClose);
    if (!http) {
        facts.strError = QString::fromUtf8(cupsLastErrorString());
        return facts;
    }
    httpSetTimeout(http.get(), c_dCupsRequestTimeoutS, nullptr, nullptr);
    ipp_t* pRequest = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    static const char* const c_szAttributes[] = {"printer-name", "device-uri", "printer-make-and-model"};
    ippAddStrings(pRequest, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr, c_szAttributes);
    ippAddString(pRequest, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ipp_t* pResponse = cupsDoRequest(http.get(), pRequest, "/");
    // No queue at all is an answer too (client-error-not-found).
    if (!pResponse
        || (cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE && cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND)) {
        facts.strError = QString::fromUtf8(cupsLastErrorString());
        ippDelete(pResponse);
        return facts;
    }
    facts.bReachable = true;
    facts.listQueues = QueuesOfResponse(pResponse);
    ippDelete(pResponse);
    return facts;
}

QList<stUsbDevice> GatherUsbDevices(const QString& strSysfsRoot)
{
    QList<stUsbDevice> list;
    for (const QString& name : QDir(strSysfsRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString dir = strSysfsRoot + "/" + name + "/";
        if (ReadLine(dir + "idVendor").toInt(nullptr, 16) != c_iOvraUsbVendorId)
            continue;
        stUsbDevice device;
        device.iProductId = ReadLine(dir + "idProduct").toInt(nullptr, 16);
        device.strSerial = ReadLine(dir + "serial");
        device.strNode = QString("/dev/bus/usb/%1/%2")
                             .arg(ReadLine(dir + "busnum").toInt(), 3, 10, QChar('0'))
                             .arg(ReadLine(dir + "devnum").toInt(), 3, 10, QChar('0'));
        device.bAccessible = ::access(QFile::encodeName(device.strNode).constData(), R_OK | W_OK) == 0;
        list << device;
    }
    return list;
}

QList<stNetAnswer> GatherNetAnswers(const QStringList& listAddresses)
{
    QList<stNetAnswer> list;
    QList<QThread*> threads;
    for (const QString& strAddress : listAddresses)
        list << stNetAnswer{strAddress, false};
    for (int i = 0; i < list.size(); ++i) {
        stNetAnswer* pAnswer = &list[i];
        threads << QThread::create([pAnswer] {
            pAnswer->bAnswered =
                UDPGetPrinterStatus(pAnswer->strAddress, [](const unsigned char*, int) { return int(en_Udp_OK); })
                == en_Udp_OK;
        });
        threads.last()->start();
    }
    for (QThread* pThread : threads) {
        pThread->wait();
        delete pThread;
    }
    return list;
}

stServiceFiles GatherServiceFiles()
{
    stServiceFiles files;
    const QFileInfo heartbeat(OvraPaths::HeartbeatFile());
    files.bHeartbeatExists = heartbeat.exists();
    if (files.bHeartbeatExists)
        files.iHeartbeatAgeS = heartbeat.lastModified().secsTo(QDateTime::currentDateTime());
    files.bListExists = QFileInfo::exists(OvraPaths::PrinterListFile());
    for (const stPrinterInfo& info : GetPrinterInfo()) {
        stListedPrinter printer;
        printer.strName = info.strName;
        printer.bHasStatusFile = QFileInfo::exists(OvraPaths::StatusFile(info.strName));
        stPrinterState state;
        printer.bStatusParses = ReadStatusFile(info.strName, state);
        files.listPrinters << printer;
    }
    return files;
}

stSaneFacts GatherSane()
{
    stSaneFacts facts;
    // SANE's own variable: a list of folders, the first one searched first.
    const QString strDirs = qEnvironmentVariable("SANE_CONFIG_DIR");
    facts.strConfigDir = strDirs.isEmpty() ? QString("/etc/sane.d") : strDirs.section(':', 0, 0);
    facts.bDllListsOvra = DllListsOvra(facts.strConfigDir);
    facts.bConfigExists = QFileInfo::exists(facts.strConfigDir + "/ovra.conf");
    return facts;
}
