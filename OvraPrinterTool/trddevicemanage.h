// The tray's device-list worker: re-reads the printer list file every 3 seconds and,
// when the set of printers changed, replaces the shared list and tells the window.
#pragma once

#include "printerstate.h"
#include "utilthreadbase.h"

class SharedPrinterList;

class TrdDeviceManage : public UtilThreadBase
{
    Q_OBJECT
public:
    static const int c_iListIntervalMs = 3000;

    explicit TrdDeviceManage(QObject* parent = nullptr);

    void Init(SharedPrinterList* pList);

    // One look at the list file; true when the shared list was replaced.
    bool RunPass();

    static QList<stPrinterInfo> GetPrinterInfo(bool bUnused = true);
    static QList<stPrinterManager> GetInitPrinterList(const QList<stPrinterInfo>& listInfo);

    SharedPrinterList* pPrinterList = nullptr;

signals:
    void SgnUpdatePrinterList();

public slots:
    void SlotTaskStart();
};
