// Base of the workers that follow the printer at one index of the shared list.
#pragma once

#include "printerstate.h"
#include "utilthreadbase.h"

class SharedPrinterList;

class UtilPrinterWorker : public UtilThreadBase
{
    Q_OBJECT
public:
    explicit UtilPrinterWorker(QObject* parent = nullptr);

    void Init(int iIndex, SharedPrinterList* pList);

    int iPrinterIndex = -1;
    SharedPrinterList* pPrinterList = nullptr;
    stPrinterManager stCurrent;

signals:
    void SgnUpdatePrinterStatus(int iIndex);
};
