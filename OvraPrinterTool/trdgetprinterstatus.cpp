#include "trdgetprinterstatus.h"

#include "commandrunner.h"
#include "ovralog.h"
#include "ovrapaths.h"
#include "sharedprinterlist.h"
#include "utilprinterstatus.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <exception>

TrdGetPrinterStatus::TrdGetPrinterStatus(QObject* parent) : UtilPrinterWorker(parent) {}

void TrdGetPrinterStatus::SlotTaskStart()
{
    if (!StartRunning())
        return;
    do {
        RunCycle();
    } while (!WaitForSleep(c_iReadIntervalMs));
}

bool TrdGetPrinterStatus::RunCycle()
{
    if (!pPrinterList->CopyEntry(iPrinterIndex, stCurrent))
        return false;
    const bool bForce = stCurrent.stState.enCurrentStatus == en_Status_Offline;
    if (GetPrinterStatusFile(stCurrent.stInfo.strName, bForce) < 0)
        CountFailure();

    stPrinterManager shared;
    if (!pPrinterList->CopyEntry(iPrinterIndex, shared) || shared.stInfo.strName != stCurrent.stInfo.strName
        || shared.stInfo.strURI != stCurrent.stInfo.strURI)
        return true; // the list was replaced meanwhile: this cycle is void
    const bool bChanged = CheckStatusChange(stCurrent.stState, shared.stState);
    if (bChanged && shared.stState.enCurrentStatus != en_Status_Canceling
        && stCurrent.stState.enCurrentStatus == en_Status_Canceling)
        CancelCurrentJob();
    if (pPrinterList->WriteBack(iPrinterIndex, stCurrent) && bChanged)
        emit SgnUpdatePrinterStatus(iPrinterIndex);
    return true;
}

void TrdGetPrinterStatus::CountFailure()
{
    stPrinterState& state = stCurrent.stState;
    if (++state.iConnectFailCount > c_iFailuresBeforeOffline)
        MarkPrinterOffline(state);
}

// The printer has begun cancelling a task: CUPS cancels the queue's current job too.
void TrdGetPrinterStatus::CancelCurrentJob()
{
    OVRA_LOG("cancel by printer %s", qPrintable(stCurrent.stInfo.strName));
    RunCommand("cancel", QStringList() << stCurrent.stInfo.strName);
}

int TrdGetPrinterStatus::GetPrinterStatusFile(const QString& strName, bool bForce)
{
    try {
        const QString strPath = OvraPaths::StatusFile(strName);
        const QFileInfo info(strPath);
        if (!info.exists()) {
            dtLastModified = QDateTime();
            return -1;
        }
        const QDateTime dtModified = info.fileTime(QFileDevice::FileModificationTime);
        // A file that could not be decoded and stays as it is fails again at every
        // cycle, so that the printer goes Offline after the count of failed reads.
        if (!bForce && dtModified == dtLastModified)
            return bLastReadFailed ? -1 : 1;
        dtLastModified = dtModified;
        QFile file(strPath);
        bLastReadFailed = true;
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        std::memset(byRecvBuf, 0, sizeof(byRecvBuf));
        const qint64 iRead = file.read(reinterpret_cast<char*>(byRecvBuf), sizeof(byRecvBuf));
        const int iResult = CheckPrinterStatus(byRecvBuf, static_cast<unsigned long>(qMax<qint64>(iRead, 0)));
        bLastReadFailed = iResult < 0;
        return iResult;
    } catch (const std::exception&) {
        OVRA_LOG("throw error");
        return 0;
    }
}

int TrdGetPrinterStatus::CheckPrinterStatus(const unsigned char* pBuffer, unsigned long ulLength)
{
    return DecodePrinterStatus(pBuffer, ulLength, stCurrent.stState) ? 0 : -1;
}

bool TrdGetPrinterStatus::CheckStatusChange(const stPrinterState& a, const stPrinterState& b)
{
    return a.enCurrentStatus != b.enCurrentStatus || a.dwRemainingToner != b.dwRemainingToner
           || a.listErrorStatus != b.listErrorStatus || a.listWarningStatus != b.listWarningStatus;
}
