// The tray's status reader of one printer index: looks at the printer's status file
// every second, decodes it, keeps the shared entry current and tells the window when
// something it shows has changed.
#pragma once

#include "statusfile.h"
#include "utilprinterworker.h"

#include <QDateTime>

class TrdGetPrinterStatus : public UtilPrinterWorker
{
    Q_OBJECT
public:
    static const int c_iReadIntervalMs = 1000;
    static const int c_iFailuresBeforeOffline = 10;

    explicit TrdGetPrinterStatus(QObject* parent = nullptr);

    // One cycle of the loop (without its wait); false when the index is idle.
    bool RunCycle();

    int GetPrinterStatusFile(const QString& strName, bool bForce);
    int CheckPrinterStatus(const unsigned char* pBuffer, unsigned long ulLength);
    static bool CheckStatusChange(const stPrinterState& a, const stPrinterState& b);

    unsigned char byRecvBuf[c_iStatusFileMaxBytes] = {0};
    QDateTime dtLastModified;
    bool bLastReadFailed = false; // the file at dtLastModified could not be decoded

public slots:
    void SlotTaskStart();

private:
    void CountFailure();
    void CancelCurrentJob();
};
