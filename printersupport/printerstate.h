// A printer's decoded state, its jobs as CUPS reports them, and one entry of the
// printer lists the print service and the tray monitor share between their threads.
#pragma once

#include "printerinfo.h"

#include <QList>
#include <QString>
#include <QtGlobal>

enum enPrinterStatus {
    en_Status_Unknown = 0,
    en_Status_DataFormatError = 1,
    en_Status_Offline = 2,
    en_Status_Ready = 3,
    en_Status_Initialization = 4,
    en_Status_Busy = 5,
    en_Status_Canceling = 6,
    en_Status_Error = 7,
    en_Status_Printing = 8,
    en_Status_Scanning = 9,
    en_Status_Copying = 10,
    en_Status_PrintingReport = 11,
    en_Status_Count
};

enum enErrorStatus {
    en_Error_Unknown = 0,
    en_Error_Fuser = 1,
    en_Error_DamagedLaser = 2,
    en_Error_ScannerNotDetected = 3,
    en_Error_PrinterFault = 4,
    en_Error_HighTemperature = 5,
    en_Error_FrontCoverOpened = 6,
    en_Error_UnsupportedCartridgeSerial = 7,
    en_Error_CartridgeMismatch = 8,
    en_Error_CartridgeInvalid = 9,
    en_Error_CartridgeError = 10,
    en_Error_TonerLow = 11,
    en_Error_TonerOutContinue = 12,
    en_Error_TonerOutChange = 13,
    en_Error_TonerLow2 = 14,
    en_Error_CartridgeWillBeFull = 15,
    en_Error_CartridgeLifeFull = 16,
    en_Error_CartridgeNotDetected = 17,
    en_Error_WasteTonerWillBeFull = 18,
    en_Error_WasteTonerFull = 19,
    en_Error_CartridgePageLimitNear = 20,
    en_Error_PageLimitReached = 21,
    en_Error_ServiceLifeNear = 22,
    en_Error_ServiceLifeExceeded = 23,
    en_Error_InsufficientMemory = 24,
    en_Error_HighTemperatureWait = 25,
    en_Error_ADFPaperJam = 26,
    en_Error_ADFNoPaper = 27,
    en_Error_ADFPickFailure = 28,
    en_Error_InvalidSetting = 29,
    en_Error_TrayNoPaper = 30,
    en_Error_ManualFeederNoPaper = 31,
    en_Error_ManualFeederAbnormal = 32,
    en_Error_ImproperPaperSource = 33,
    en_Error_PaperJamDevice = 34,
    en_Error_PaperJamCartridge = 35,
    en_Error_PaperJamRear = 36,
    en_Error_ImproperPaperSize = 37,
    en_Error_InitialSetting = 38,
    en_Error_FlatbedScanner = 39,
    en_Error_ADFNoPaper2 = 40,
    en_Error_FileOversized = 41,
    en_Error_PrinterFault2 = 42,
    en_Error_IPSetting = 43,
    en_Error_IPConflict = 44,
    en_Error_Count
};

struct stPrinterState {
    QString strPrinterSerialNumber;
    int enCurrentStatus = en_Status_Offline;
    QString strFWVersion;
    QString strVenderName;
    QString strProductName;
    int iNumberOfError = 0;
    int iNumberOfWarning = 0;
    QList<int> listErrorStatus; // enErrorStatus values, response order
    QList<int> listWarningStatus;
    QString strSupplySerialNumber;
    int enSpplyType = 0;
    quint64 dwRemainingToner = 0;
    quint64 dwWasteToner = 0;
    quint64 dwOPCRotation = 0;
    quint64 dwNumberOfPages = 0;
    quint64 dwNumberOfPrint = 0;
    quint64 dwPrintDotsCount = 0;
    quint64 dwPrinterNumOfPages = 0;
    quint64 dwPrinterNumOfPrint = 0;
    int iConnectFailCount = 0;
};

// Back to the state of a printer not heard from yet ("Offline", nothing known).
void InitStPrinterState(stPrinterState& state);
// A printer that no longer answers: Offline, with no errors and warnings left from its
// last answer, and the count of failed reads started again. What is known of the printer
// itself (serial, model, toner, counters) stays.
void MarkPrinterOffline(stPrinterState& state);

enum enJobStatus {
    en_Job_AlertNone = 0,
    en_Job_Printing = 1,
    en_Job_OtherAlert = 2,
    en_Job_CanceledByUser = 3,
    en_Job_HeaderOnly = 4,
};

struct stJobState {
    QString strJobId; // the queue name and CUPS job number, "queue-42"
    int iJobStatus = en_Job_HeaderOnly;
    int iReserved = -1;
};

struct stPrinterManager {
    stPrinterInfo stInfo;
    stPrinterState stState;
    QList<stJobState> listJobState; // jobs seen printing at the last job check
    bool bReady = false;            // the list file has been saved since this entry was made
};
