// The status worker of one printer index: polls the printer at that index over USB or
// UDP, keeps its status file, decodes its state and watches its CUPS jobs.
#pragma once

#include "utilprinterworker.h"

#include <functional>
#include <memory>

class CupsClient;
class QTextCodec;

class TrdGetPrinterStatus : public UtilPrinterWorker
{
    Q_OBJECT
public:
    static constexpr int c_iRecvBufferSize = 2048;
    static constexpr int c_iFailuresBeforeOffline = 5;

    explicit TrdGetPrinterStatus(QObject* parent = nullptr);
    ~TrdGetPrinterStatus() override;

    bool CheckNeedStatus(int& iPeriod);
    int GetPrinterStatusUSB(const QString& strPort);
    int GetPrinterStatusUDP(const QString& strAddress);
    int GetUSBStatus(const QString& strPort, unsigned char bRequestType, unsigned char bRequest, unsigned short wValue,
                     unsigned short wIndex, unsigned short wLength, unsigned char* pBuffer, unsigned int& uTransferred);
    static bool GetPrinterVidPid(const QString& strURI, int& iVendorId, int& iProductId);
    int CheckPrinterStatus(const unsigned char* pBuffer, int iLength);
    bool CheckRecvBufChange(const unsigned char* pBuffer, int iLength);
    void CheckJobStatus();
    int CancelPrinterJob(const QString& strPort);

    // One pass of the loop below (poll, five job checks); false when the index is idle.
    bool RunCycle();
    // The poll of one pass on stCurrent, with the failure rule; the poll's result.
    int PollPrinter();

    int iLastRecvLen = 0;
    unsigned char byLastRecvBuf[c_iRecvBufferSize] = {0};
    QTextCodec* pCodec = nullptr;

public slots:
    void SlotTaskStart();

private:
    void ApplyFailureRule(int iResult);
    bool PrinterIsPrinting();
    bool ForOwnPrinter(const std::function<void()>& fn);

    // The worker's own connection to CUPS, made on its thread at the first question.
    std::unique_ptr<CupsClient> m_pCups;
};
