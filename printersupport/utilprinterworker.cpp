#include "utilprinterworker.h"

UtilPrinterWorker::UtilPrinterWorker(QObject* parent) : UtilThreadBase(parent) {}

void UtilPrinterWorker::Init(int iIndex, SharedPrinterList* pList)
{
    iPrinterIndex = iIndex;
    pPrinterList = pList;
}
