#include "trdgetprinterstatus.h"

#include "cupsclient.h"
#include "jobwatch.h"
#include "modelinfo.h"
#include "ovralog.h"
#include "ovrapaths.h"
#include "sharedprinterlist.h"
#include "statusfile.h"
#include "udpchannel.h"
#include "serviceusb.h"
#include "utilprinterstatus.h"

#include <QFile>
#include <QTextCodec>
#include <QThread>

#include <libusb-1.0/libusb.h>

#include <cstring>
#include <exception>

namespace {

const int c_iUsbHeader = 7;
const int c_iUsbStatusLength = 1024;
const int c_iUsbCancelLength = 1017;
const unsigned int c_uUsbTimeoutMs = 2000;
const unsigned char c_byClassIn = 0xA1;
const unsigned char c_byGetStatus = 0x33;
const unsigned char c_byCancelJob = 0x34;
const int c_iJobChecksPerCycle = 5;
const int c_iJobListRetries = 10;
const int c_iJobListRetryMs = 100;

} // namespace

TrdGetPrinterStatus::TrdGetPrinterStatus(QObject* parent)
    : UtilPrinterWorker(parent), pCodec(QTextCodec::codecForName("utf-8")), m_pCups(new CupsClient)
{
}

TrdGetPrinterStatus::~TrdGetPrinterStatus() = default;

void TrdGetPrinterStatus::SlotTaskStart()
{
    if (!StartRunning())
        return;
    while (!bQuit) {
        if (!RunCycle() && WaitForSleep(1000))
            break;
    }
}

bool TrdGetPrinterStatus::RunCycle()
{
    int iPeriod = 1000;
    if (iPrinterIndex < 0 || iPrinterIndex >= pPrinterList->Size())
        return false;
    if (!CheckNeedStatus(iPeriod)) {
        WaitForSleep(iPeriod);
        return true;
    }
    if (!pPrinterList->CopyEntry(iPrinterIndex, stCurrent))
        return false;
    PollPrinter();
    for (int i = 0; i < c_iJobChecksPerCycle; ++i) {
        CheckJobStatus();
        WaitForSleep(iPeriod / 10);
    }
    pPrinterList->WriteBack(iPrinterIndex, stCurrent);
    return true;
}

int TrdGetPrinterStatus::PollPrinter()
{
    if (!stCurrent.bReady)
        return 0;
    const stPrinterInfo& info = stCurrent.stInfo;
    OVRA_LOG("try to connect %s", qPrintable(info.strName));
    const int iResult =
        info.iConnectType == en_Connect_USB ? GetPrinterStatusUSB(info.strPort) : GetPrinterStatusUDP(info.strPort);
    if (iResult < 0) {
        OVRA_LOG("connect %s fail, ret = %d", qPrintable(info.strName), iResult);
        ApplyFailureRule(iResult);
    }
    return iResult;
}

void TrdGetPrinterStatus::ApplyFailureRule(int iResult)
{
    stPrinterState& state = stCurrent.stState;
    if (stCurrent.stInfo.iConnectType == en_Connect_USB) {
        if (iResult != en_Usb_NoDevice)
            return;
    } else if (++state.iConnectFailCount <= c_iFailuresBeforeOffline) {
        return;
    }
    ForOwnPrinter([this] { RemoveStatusFile(stCurrent.stInfo.strName); });
    MarkPrinterOffline(state);
}

// The printer's file is touched only while the entry is still this worker's printer: a
// queue that has just left the list keeps no file behind (the device manager removes
// stale files after it replaced the list).
bool TrdGetPrinterStatus::ForOwnPrinter(const std::function<void()>& fn)
{
    return pPrinterList && pPrinterList->WithSamePrinter(iPrinterIndex, stCurrent.stInfo, fn);
}

bool TrdGetPrinterStatus::CheckNeedStatus(int& iPeriod)
{
    stPrinterManager entry;
    if (!pPrinterList->CopyEntry(iPrinterIndex, entry))
        return false;
    if (entry.stInfo.iConnectType == en_Connect_USB) {
        iPeriod = 1500;
        return true;
    }
    iPeriod = 100;
    switch (entry.stState.enCurrentStatus) {
    case en_Status_Offline: iPeriod = 10000; return true;
    case en_Status_Ready:
        if (!PrinterIsPrinting())
            return false;
        OVRA_LOG("dev: printing");
        iPeriod = 1000;
        return true;
    default: iPeriod = 1000; return true;
    }
}

// Asks CUPS whether the queue of this index is printing.
bool TrdGetPrinterStatus::PrinterIsPrinting()
{
    stPrinterManager entry;
    if (!pPrinterList->CopyEntry(iPrinterIndex, entry))
        return false;
    return m_pCups->QueueIsPrinting(entry.stInfo.strName);
}

bool TrdGetPrinterStatus::GetPrinterVidPid(const QString& strURI, int& iVendorId, int& iProductId)
{
    const stModelInfo* pModel = FindModelByDeviceURI(strURI);
    if (!pModel)
        return false;
    iVendorId = pModel->iVendorId;
    iProductId = pModel->iProductId;
    return true;
}

int TrdGetPrinterStatus::GetPrinterStatusUSB(const QString& strPort)
{
    unsigned char byBuffer[c_iUsbHeader + c_iUsbStatusLength] = {0};
    unsigned int uTransferred = 0;
    const int iResult = GetUSBStatus(strPort, c_byClassIn, c_byGetStatus, 0, 0, c_iUsbStatusLength,
                                     byBuffer + c_iUsbHeader, uTransferred);
    if (iResult != 0)
        return iResult;
    return CheckPrinterStatus(byBuffer, int(uTransferred) + c_iUsbHeader);
}

int TrdGetPrinterStatus::GetUSBStatus(const QString& strPort, unsigned char bRequestType, unsigned char bRequest,
                                      unsigned short wValue, unsigned short wIndex, unsigned short wLength,
                                      unsigned char* pBuffer, unsigned int& uTransferred)
{
    try {
        UsbPrinterSession session;
        const int iOpen = OpenServiceSession(session, strPort);
        if (session.KernelDriverDetached())
            OVRA_LOG("1");
        if (iOpen != en_Usb_OK) {
            if (iOpen != en_Usb_NoModel)
                OVRA_LOG("*** error=%s \n", libusb_error_name(session.LibusbError()));
            return iOpen;
        }
        const int iMoved = session.ControlIn(bRequestType, bRequest, wValue, wIndex, pBuffer, wLength, c_uUsbTimeoutMs);
        uTransferred = static_cast<unsigned int>(iMoved);
        if (iMoved < 0) {
            OVRA_LOG("*** error=%s \n", libusb_error_name(iMoved));
            return iMoved;
        }
        return 0;
    } catch (const std::exception&) {
        return en_Usb_Exception;
    }
}

int TrdGetPrinterStatus::GetPrinterStatusUDP(const QString& strAddress)
{
    return UDPGetPrinterStatus(strAddress, [this](const unsigned char* pReply, int iLength) {
        return CheckPrinterStatus(pReply, iLength);
    });
}

int TrdGetPrinterStatus::CheckPrinterStatus(const unsigned char* pBuffer, int iLength)
{
    const QString& strQueue = stCurrent.stInfo.strName;
    const bool bChanged = StatusFileExists(strQueue) ? CheckRecvBufChange(pBuffer, iLength) : true;
    if (bChanged)
        ForOwnPrinter([&] { WriteStatusFile(strQueue, pBuffer, iLength); });
    stPrinterState state;
    if (!DecodePrinterStatus(pBuffer, static_cast<unsigned long>(iLength), state))
        return -1;
    stCurrent.stState = state;
    return 0;
}

bool TrdGetPrinterStatus::CheckRecvBufChange(const unsigned char* pBuffer, int iLength)
{
    // A response longer than the remembered copy cannot be compared whole: it always
    // counts as changed (and the comparison never reads past the copy).
    const bool bComparable = iLength >= 0 && iLength <= c_iRecvBufferSize;
    if (bComparable && iLength == iLastRecvLen
        && (iLength == 0 || std::memcmp(pBuffer, byLastRecvBuf, size_t(iLength)) == 0))
        return false;
    iLastRecvLen = iLength;
    std::memcpy(byLastRecvBuf, pBuffer, size_t(qBound(0, iLength, c_iRecvBufferSize)));
    return true;
}

// While CUPS has no job for the queue, it is asked again every 100 ms, ten times at most:
// an idle queue's check takes about a second, which sets the rhythm of the worker's
// cycle. A scheduler that hangs is not asked again in the same check.
void TrdGetPrinterStatus::CheckJobStatus()
{
    const QString& strQueue = stCurrent.stInfo.strName;
    enCupsAnswer enAnswer = en_Cups_Answered;
    QList<stCupsJob> listCupsJobs = m_pCups->Jobs(strQueue, stCurrent.listJobState, &enAnswer);
    for (int i = 0; i < c_iJobListRetries && listCupsJobs.isEmpty() && enAnswer != en_Cups_TimedOut; ++i) {
        QThread::msleep(c_iJobListRetryMs);
        listCupsJobs = m_pCups->Jobs(strQueue, stCurrent.listJobState, &enAnswer);
    }
    // No answer is not the end of a job: the jobs seen printing stay watched, so that a
    // job cancelled while the scheduler was slow to answer is still cancelled on the
    // printer once it answers again.
    if (enAnswer != en_Cups_Answered) {
        OVRA_LOG("job check %s: CUPS did not answer (%d)", qPrintable(strQueue), int(enAnswer));
        return;
    }

    const QList<stJobState> listJobs =
        DecideJobs(strQueue, listCupsJobs, stCurrent.listJobState, [this](const stJobState&) {
            OVRA_LOG("Cancel printer job:%s", qPrintable(stCurrent.stInfo.strName));
            CancelPrinterJob(stCurrent.stInfo.strPort);
        });
    for (int i = 0; i < listJobs.size(); ++i)
        OVRA_LOG("job[%d] status: %d", i, listJobs.at(i).iJobStatus);
    stCurrent.listJobState = listJobs;
}

int TrdGetPrinterStatus::CancelPrinterJob(const QString& strPort)
{
    try {
        UsbPrinterSession session;
        const int iOpen = OpenServiceSession(session, strPort);
        switch (iOpen) {
        case en_Usb_InitFailed: OVRA_LOG("Init Error"); break;
        case en_Usb_ListFailed: OVRA_LOG("Get Device Error"); break;
        case en_Usb_WalkFailed:
            if (session.FailedDevicePosition() > 0)
                OVRA_LOG("*** libusb_get_device_descriptor failed! i:%d", session.FailedDevicePosition());
            OVRA_LOG("*** get_device_descriptor failed!");
            break;
        case en_Usb_NoDevice: OVRA_LOG("Cannot open device"); break;
        case en_Usb_ClaimFailed: OVRA_LOG("Cannot Claim Interface"); break;
        default: break;
        }
        if (session.KernelDriverWasActive())
            OVRA_LOG("Kernel Driver Active");
        if (session.KernelDriverDetached())
            OVRA_LOG("Kernel Driver Detached!");
        if (iOpen != en_Usb_OK)
            return iOpen;
        unsigned char byReply[c_iUsbCancelLength] = {0};
        return session.ControlIn(c_byClassIn, c_byCancelJob, 0, 0, byReply, c_iUsbCancelLength, c_uUsbTimeoutMs);
    } catch (const std::exception&) {
        OVRA_LOG("throw error");
        return en_Usb_Exception;
    }
}
