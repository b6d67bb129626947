#include "updateattempts.h"

#include "fwupdatetask.h"

#include <QObject>
#include <QThread>

int RunFWUpdateAttempts(int vid, int pid, const QString& uri, char* data, int length)
{
    int iResult = en_FW_InitFailed;
    for (int attempt = 0; attempt < c_iFWUpdateAttempts; ++attempt) {
        iResult = FWUpdateTask(vid, pid, uri, data, length);
        if (iResult == en_FW_OK)
            break;
        QThread::msleep(c_ulFWUpdatePauseMs);
    }
    return iResult;
}

const char* UpdateResultKey(int result)
{
    switch (result) {
    case en_FW_OK: return QT_TRANSLATE_NOOP("QObject", "MainWindow.Message.Success");
    case en_FW_TransferFailed: return QT_TRANSLATE_NOOP("QObject", "MainWindow.Message.Failed_Printer_Ping");
    case -6: // no transfer result of its own; read failures share its message
        return QT_TRANSLATE_NOOP("QObject", "MainWindow.Message.Failed_Read_File");
    case en_FW_InitFailed: return QT_TRANSLATE_NOOP("QObject", "MainWindow.Message.Failed_Device_Interface_Init");
    case en_FW_NoDevice:
    case en_FW_NoEndpoint:
    case en_FW_OpenFailed:
    case en_FW_ClaimFailed: return QT_TRANSLATE_NOOP("QObject", "MainWindow.Message.Failed_Printer_Connection");
    default: return QT_TRANSLATE_NOOP("QObject", "MainWindow.Message.Error_Unknow");
    }
}
