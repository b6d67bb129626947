#include "trddevicemanage.h"

#include "sharedprinterlist.h"

TrdDeviceManage::TrdDeviceManage(QObject* parent) : UtilThreadBase(parent) {}

void TrdDeviceManage::Init(SharedPrinterList* pList) { pPrinterList = pList; }

void TrdDeviceManage::SlotTaskStart()
{
    if (!StartRunning())
        return;
    do {
        RunPass();
    } while (!WaitForSleep(c_iListIntervalMs));
}

bool TrdDeviceManage::RunPass()
{
    const QList<stPrinterInfo> listNew = GetPrinterInfo();
    const QList<stPrinterInfo> listShared = pPrinterList->Infos();
    bool bSame = listNew.size() == listShared.size();
    for (int i = 0; bSame && i < listNew.size(); ++i)
        bSame = listNew.at(i).strName == listShared.at(i).strName && listNew.at(i).strPort == listShared.at(i).strPort;
    if (bSame)
        return false;
    pPrinterList->Replace(GetInitPrinterList(listNew));
    emit SgnUpdatePrinterList();
    return true;
}

QList<stPrinterInfo> TrdDeviceManage::GetPrinterInfo(bool) { return ::GetPrinterInfo(); }

QList<stPrinterManager> TrdDeviceManage::GetInitPrinterList(const QList<stPrinterInfo>& listInfo)
{
    QList<stPrinterManager> list;
    for (const stPrinterInfo& info : listInfo) {
        stPrinterManager entry;
        entry.stInfo = info;
        list.append(entry);
    }
    return list;
}
