#include "ovraprogram.h"

#include "ovrapaths.h"

#include <atomic>

namespace {

std::atomic<int> g_iProgram{en_Program_PrintService};

struct stLogTarget {
    bool bToolDir; // tool/ rather than log/
    const char* szPrefix;
};

const stLogTarget c_stLogTargets[] = {
    {false, "log_srv"},      // print service
    {true, "log_tool"},      // tray status monitor
    {true, "log_nettool"},   // settings tool
    {false, "log_fwupdate"}, // firmware update helper
};

const stLogTarget& CurrentTarget() { return c_stLogTargets[g_iProgram.load()]; }

} // namespace

void SetOvraProgram(enOvraProgram enProgram) { g_iProgram = enProgram; }

enOvraProgram GetOvraProgram() { return static_cast<enOvraProgram>(g_iProgram.load()); }

QString OvraProgramLogDir() { return CurrentTarget().bToolDir ? OvraPaths::ToolDir() : OvraPaths::LogDir(); }

QString OvraProgramLogPrefix() { return QString::fromLatin1(CurrentTarget().szPrefix); }
