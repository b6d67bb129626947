#include "trddevicemanage.h"

#include "cupsconfig.h"
#include "filemodes.h"
#include "ovrajournal.h"
#include "ovralog.h"
#include "ovrapaths.h"
#include "sharedprinterlist.h"
#include "trdgetprinterstatus.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTextCodec>
#include <QThread>

TrdDeviceManage::TrdDeviceManage(QObject* parent) : UtilThreadBase(parent), pCodec(QTextCodec::codecForName("utf-8")) {}

// The workers and their threads run for the life of the process; only the lists go.
TrdDeviceManage::~TrdDeviceManage() = default;

void TrdDeviceManage::Init(SharedPrinterList* pList) { pPrinterList = pList; }

void TrdDeviceManage::SlotTaskStart()
{
    if (!StartRunning())
        return;
    bool bForce = true;
    for (;;) {
        RunPass(bForce);
        if (WaitForSleep(c_iPassIntervalMs))
            break;
        bForce = false;
    }
}

void TrdDeviceManage::RunPass(bool bForce)
{
    OVRA_LOG("get printer list");
    WriteHeartbeat();
    const QList<stPrinterInfo> listNew = GetPrinterInfo(true);
    OVRA_LOG("printer num:%d", listNew.size());

    if (!SamePrinters(listNew, pPrinterList->Infos())) {
        JournalPrinterChanges(pPrinterList->Infos(), listNew);
        const int iCurrent = pPrinterList->Size();
        if (listNew.size() > iCurrent) {
            StartWorkers(listStatusWorker.size(), listNew.size());
            emit SgnStatusThreadStart();
        }
        // Replaced first: a worker writes its printer's file only while its entry is that
        // printer, so no file of a queue that has left can come back after this removal.
        pPrinterList->Replace(GetInitPrinterList(listNew));
        RemoveStaleStatusFiles(listNew);
        bForce = true;
    }
    SavePrinterInfo(listNew, bForce);
    pPrinterList->SetAllReady();
}

namespace {

bool ListsPrinter(const QList<stPrinterInfo>& list, const stPrinterInfo& info)
{
    for (const stPrinterInfo& other : list) {
        if (other.strName == info.strName && other.strPort == info.strPort && other.strURI == info.strURI)
            return true;
    }
    return false;
}

} // namespace

// Every printer that came or went since the last pass, one line each on standard error.
void TrdDeviceManage::JournalPrinterChanges(const QList<stPrinterInfo>& listOld, const QList<stPrinterInfo>& listNew)
{
    for (const stPrinterInfo& info : listNew) {
        if (!ListsPrinter(listOld, info))
            OvraJournalLine("printer found: %s (%s)", qPrintable(info.strName), qPrintable(info.strURI));
    }
    for (const stPrinterInfo& info : listOld) {
        if (!ListsPrinter(listNew, info))
            OvraJournalLine("printer lost: %s (%s)", qPrintable(info.strName), qPrintable(info.strURI));
    }
}

bool TrdDeviceManage::SamePrinters(const QList<stPrinterInfo>& a, const QList<stPrinterInfo>& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a.at(i).strName != b.at(i).strName || a.at(i).strPort != b.at(i).strPort
            || a.at(i).strURI != b.at(i).strURI)
            return false;
    }
    return true;
}

// Workers are tied to indexes and never removed: only indexes never reached before get one.
void TrdDeviceManage::StartWorkers(int iFrom, int iTo)
{
    for (int j = iFrom; j < iTo; ++j) {
        TrdGetPrinterStatus* pWorker = new TrdGetPrinterStatus;
        pWorker->Init(j, pPrinterList); // before its thread starts, which then sees it
        QThread* pThread = new QThread;
        pWorker->moveToThread(pThread);
        pThread->start(QThread::InheritPriority);
        connect(this, &TrdDeviceManage::SgnStatusThreadStart, pWorker, &TrdGetPrinterStatus::SlotTaskStart);
        connect(this, &TrdDeviceManage::SgnThreadQuit, pWorker, &TrdGetPrinterStatus::SlotThreadQuit);
        listStatusWorker.append(pWorker);
        listStatusThread.append(pThread);
    }
}

void TrdDeviceManage::RemoveStaleStatusFiles(const QList<stPrinterInfo>& listInfo)
{
    QDir dir(OvraPaths::CfgDir());
    if (!dir.exists())
        return;
    QSet<QString> keep;
    for (const stPrinterInfo& info : listInfo)
        keep.insert(info.strName + ".dat");
    const QStringList files = dir.entryList(QStringList() << "*.dat", QDir::Files | QDir::NoSymLinks);
    for (const QString& name : files) {
        if (!keep.contains(name))
            dir.remove(name);
    }
}

void TrdDeviceManage::WriteHeartbeat()
{
    QDir().mkpath(OvraPaths::CfgDir());
    QFile file(OvraPaths::HeartbeatFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return;
    file.setPermissions(c_publicFilePermissions);
    file.write(QDateTime::currentDateTime().toString("[yyyy-MM-dd hh:mm:ss.zzz]").toLocal8Bit());
}

QList<stPrinterInfo> TrdDeviceManage::GetPrinterInfo(bool bCheckDriver) { return ReadCupsPrinters(bCheckDriver); }

bool TrdDeviceManage::CheckDriverMatch(const QString& strQueue, QString& strModel)
{
    return ::CheckDriverMatch(strQueue, strModel);
}

QList<stPrinterManager> TrdDeviceManage::GetInitPrinterList(const QList<stPrinterInfo>& listInfo)
{
    QList<stPrinterManager> list;
    for (const stPrinterInfo& info : listInfo) {
        stPrinterManager entry;
        entry.stInfo = info;
        InitStPrinterState(entry.stState);
        list.append(entry);
    }
    return list;
}

void TrdDeviceManage::InitStPrinterInfo(stPrinterInfo& info) { info = stPrinterInfo(); }
