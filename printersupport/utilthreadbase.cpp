#include "utilthreadbase.h"

#include <QDir>
#include <QThread>

namespace {
const int c_iSleepSlice = 500;
}

UtilThreadBase::UtilThreadBase(QObject* parent) : QObject(parent) {}

bool UtilThreadBase::WaitForSleep(int ms)
{
    const int iSlices = ms / c_iSleepSlice;
    for (int i = 0; i < iSlices; ++i) {
        if (bQuit)
            return true;
        QThread::msleep(c_iSleepSlice);
    }
    const int iRest = ms % c_iSleepSlice;
    if (iRest > 0)
        QThread::msleep(iRest);
    return bQuit;
}

bool UtilThreadBase::StartRunning()
{
    if (bRunning)
        return false;
    bRunning = true;
    return true;
}

void UtilThreadBase::SlotThreadQuit() { bQuit = true; }

bool MakePathExist(const QString& strPath)
{
    if (QDir(strPath).exists())
        return true;
    return QDir().mkpath(strPath);
}
