#include "printerstate.h"

void InitStPrinterState(stPrinterState& state) { state = stPrinterState(); }
