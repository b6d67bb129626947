// Which program of the suite this process is. Each program's main sets it first;
// the log folder and prefix and the single-instance scratch file follow from it.
#pragma once

#include <QString>

enum enOvraProgram {
    en_Program_PrintService = 0,
    en_Program_PrinterTool,
    en_Program_PrintSetting,
    en_Program_FWUpdate,
};

void SetOvraProgram(enOvraProgram enProgram);
enOvraProgram GetOvraProgram();

QString OvraProgramLogDir();    // "log/" or "tool/" under the install root
QString OvraProgramLogPrefix(); // "log_srv", "log_tool", "log_nettool", "log_fwupdate"
