// The device manager of the print service: every 5 seconds it writes the heartbeat,
// takes the supported queues from CUPS and, when they change, starts workers for new
// indexes, drops stale status files, rebuilds the shared list and publishes it.
#pragma once

#include "printerstate.h"
#include "utilthreadbase.h"

#include <QList>

class QTextCodec;
class QThread;
class SharedPrinterList;
class TrdGetPrinterStatus;

class TrdDeviceManage : public UtilThreadBase
{
    Q_OBJECT
public:
    static const int c_iPassIntervalMs = 5000;

    explicit TrdDeviceManage(QObject* parent = nullptr);
    ~TrdDeviceManage() override;

    void Init(SharedPrinterList* pList);

    // One pass of the loop; bForce makes it write the list file.
    void RunPass(bool bForce);

    void WriteHeartbeat();
    QList<stPrinterInfo> GetPrinterInfo(bool bCheckDriver);
    static bool CheckDriverMatch(const QString& strQueue, QString& strModel);
    static QList<stPrinterManager> GetInitPrinterList(const QList<stPrinterInfo>& listInfo);
    static void InitStPrinterInfo(stPrinterInfo& info);

    QList<TrdGetPrinterStatus*> listStatusWorker;
    QList<QThread*> listStatusThread;
    SharedPrinterList* pPrinterList = nullptr;
    QTextCodec* pCodec = nullptr;

signals:
    void SgnUpdatePrinterList();
    void SgnStatusThreadStart();
    void SgnThreadQuit();

public slots:
    void SlotTaskStart();

private:
    static bool SamePrinters(const QList<stPrinterInfo>& a, const QList<stPrinterInfo>& b);
    static void JournalPrinterChanges(const QList<stPrinterInfo>& listOld, const QList<stPrinterInfo>& listNew);
    void StartWorkers(int iFrom, int iTo);
    static void RemoveStaleStatusFiles(const QList<stPrinterInfo>& listInfo);
};
