#include "printerstate.h"

void InitStPrinterState(stPrinterState& state) { state = stPrinterState(); }

void MarkPrinterOffline(stPrinterState& state)
{
    state.enCurrentStatus = en_Status_Offline;
    state.iNumberOfError = 0;
    state.iNumberOfWarning = 0;
    state.listErrorStatus.clear();
    state.listWarningStatus.clear();
    state.iConnectFailCount = 0;
}
