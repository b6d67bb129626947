// ovra-check's judgement: what the gathered facts about a desk (install root, processes,
// CUPS, USB devices, network printers, the service's files, SANE) mean, one line each
// with its status, the reason, and what to do. No I/O in here: facts.h gathers them.
#pragma once

#include <QList>
#include <QString>

// A line's status; the worst of them is ovra-check's exit status.
enum enCheckStatus {
    en_Check_Ok = 0,
    en_Check_Warn = 1,
    en_Check_Fail = 2,
};

struct stCheckResult {
    QString strCheck;
    enCheckStatus enStatus = en_Check_Ok;
    QString strReason;
    QString strAdvice; // empty when all is well
};

// One entry of the install root as found: a folder (with its mode, sticky bit included)
// or a program.
struct stPathFact {
    QString strName; // relative to the install root: ".", "bin", "bin/OvraPrintService"
    bool bExists = false;
    bool bIsDir = false;
    int iMode = 0; // permission bits and the sticky bit (01777)
    bool bExecutable = false;
};

struct stProcessFacts {
    bool bServiceRunning = false;
    bool bDaemonRunning = false;
    bool bDaemonListening = false;
    int iDaemonPort = 7001;
};

// A CUPS queue as CUPS reports it.
struct stCupsQueue {
    QString strName;
    QString strUri;   // device-uri
    QString strModel; // printer-make-and-model (the PPD's)
};

struct stCupsFacts {
    bool bReachable = false;
    QString strServer; // the scheduler asked
    QString strError;  // why it did not answer
    QList<stCupsQueue> listQueues;
};

// A USB device of the maker as the kernel lists it.
struct stUsbDevice {
    int iProductId = 0;
    QString strSerial;
    QString strNode;          // /dev/bus/usb/BBB/DDD
    bool bAccessible = false; // this user may read and write it
};

struct stNetAnswer {
    QString strAddress;
    bool bAnswered = false;
};

// A printer of the service's printer list, and its status file.
struct stListedPrinter {
    QString strName;
    bool bHasStatusFile = false;
    bool bStatusParses = false;
};

struct stServiceFiles {
    bool bHeartbeatExists = false;
    qint64 iHeartbeatAgeS = 0;
    bool bListExists = false;
    QList<stListedPrinter> listPrinters;
};

struct stSaneFacts {
    QString strConfigDir;       // /etc/sane.d or SANE_CONFIG_DIR
    bool bDllListsOvra = false; // dll.conf or dll.d/ names "ovra"
    bool bConfigExists = false; // ovra.conf
};

// The heartbeat's age limits: the service writes it every pass (5 s, longer while a
// pass waits for printers).
const qint64 c_iHeartbeatWarnAgeS = 30;
const qint64 c_iHeartbeatFailAgeS = 120;

// The install root's folders with their modes, and the programs in bin/.
struct stExpectedFolder {
    const char* szName;
    int iMode;
};
extern const QList<stExpectedFolder> c_listExpectedFolders;
extern const QStringList c_listExpectedPrograms;

// The maker's queues among CUPS's: a model of the maker, or a USB URI of the maker.
bool IsMakerQueue(const stCupsQueue& queue);
// "usb" or "network" for the URIs the print service watches; empty for any other.
QString QueueConnection(const QString& strUri);
// The IPv4 address of a socket:// URI, the serial of a usb:// URI ("" when none).
QString UriHost(const QString& strUri);
QString UriSerial(const QString& strUri);

stCheckResult CheckInstallRoot(const QString& strRoot, const QList<stPathFact>& listPaths);
QList<stCheckResult> CheckProcesses(const stProcessFacts& facts);
// One line for CUPS, then one for each of the maker's queues.
QList<stCheckResult> CheckCups(const stCupsFacts& facts);
stCheckResult CheckQueue(const stCupsQueue& queue);
stCheckResult CheckUsbPrinter(const stCupsQueue& queue, const QList<stUsbDevice>& listDevices);
stCheckResult CheckNetworkPrinter(const stCupsQueue& queue, const QList<stNetAnswer>& listAnswers);
stCheckResult CheckHeartbeat(const stServiceFiles& files, bool bServiceRunning);
stCheckResult CheckStatusFiles(const stServiceFiles& files, const QList<stCupsQueue>& listQueues);
stCheckResult CheckSane(const stSaneFacts& facts);

// Everything gathered about a desk.
struct stDeskFacts {
    QString strRoot; // the install root
    QList<stPathFact> listPaths;
    stProcessFacts processes;
    stCupsFacts cups;
    QList<stUsbDevice> listUsbDevices;
    QList<stNetAnswer> listNetAnswers;
    stServiceFiles files;
    stSaneFacts sane;
};

// The addresses of the maker's network queues, to be asked for their status.
QStringList NetworkAddresses(const QList<stCupsQueue>& listQueues);

// Every line, in the order a user reads them: install root, processes, CUPS and its
// queues, each USB printer, each network printer, heartbeat, status files, SANE.
QList<stCheckResult> JudgeDesk(const stDeskFacts& facts);

// The worst status of the lines (en_Check_Ok for none).
enCheckStatus WorstStatus(const QList<stCheckResult>& listResults);
const char* StatusWord(enCheckStatus enStatus);
