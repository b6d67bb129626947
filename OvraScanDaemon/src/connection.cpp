#include "connection.h"

#include "commands.h"
#include "daemonconfig.h"
#include "daemonprocess.h"
#include "scanlog.h"
#include "sockio.h"

#include <unistd.h>

namespace {

using CommandHandler = void (*)(stConnectionState&);

// Indexed by scanCommandType: one row per command, or the table does not compile.
const CommandHandler c_commandHandlers[] = {
    cmdUsbFindDev,           // USB_FIND_DEV
    cmdUsbOpenDev,           // USB_OPEN_DEV
    cmdUsbCloseDev,          // USB_CLOSE_DEV
    cmdUsbClearDev,          // USB_CLEAR_DEV
    cmdUsbResetDevEp,        // USB_RESET_DEVEP
    cmdUsbScanStart,         // USB_SCAN_START
    cmdUsbScanAbort,         // USB_SCAN_ABORT
    cmdUsbScanLock,          // USB_SCAN_LOCK
    cmdUsbScanUnlock,        // USB_SCAN_UNLOCK
    cmdUsbScanAdfStatus,     // USB_SCAN_ADFSTATUS
    cmdUsbScanPowerOn,       // USB_SCAN_POWERON
    cmdUsbScanGetSizes,      // USB_SCAN_GETSIZES
    cmdUsbScanDevProperties, // USB_SCAN_DEVPROPERTIES
    cmdTcpSendOsl,           // TCP_SEND_OSL
    cmdTcpScanStart,         // TCP_SCAN_START
    cmdTcpScanAbort,         // TCP_SCAN_ABORT
    cmdTcpScanAdfStatus,     // TCP_SCAN_ADFST
    cmdTcpScanDevProperties, // TCP_SCAN_DEVPROPERTIES
    cmdUsbReopenDev,         // USB_REOPEN_DEV
    cmdDeleteFile,           // CMD_DELETE_FILE
};
static_assert(sizeof(c_commandHandlers) / sizeof(c_commandHandlers[0]) == OVRA_SCAN_COMMAND_COUNT,
              "c_commandHandlers needs one row per scanCommandType");

} // namespace

bool receiveRequest(stConnectionState& st, void* record, size_t size, const char* errLine)
{
    long got = recvRequestOnce(st.clientFd, record, size);
    if (got == static_cast<long>(size))
        return true;
    OvraLogErr("%s", errLine);
    return false;
}

bool sendReply(stConnectionState& st, const void* record, size_t size, const char* errLine)
{
    if (serverTcpSendWithRetry(st.clientFd, record, size, 0) == static_cast<long>(size))
        return true;
    if (errLine)
        OvraLogErr("%s", errLine);
    return false;
}

bool dispatchCommand(stConnectionState& st, int32_t command)
{
    if (command < 0 || command >= OVRA_SCAN_COMMAND_COUNT) {
        OvraLogErr("undefined scanCommandType %d", command);
        return false;
    }
    c_commandHandlers[command](st);
    return true;
}

namespace {

// Waits for the next command. A data process that ends meanwhile is collected
// at once, so that none stays a zombie while the client is idle. A connection
// whose scans have all ended and that sends nothing for the idle time-out is
// given up.
bool waitForCommand(stConnectionState& st)
{
    for (;;) {
        reapDataProcesses(st);
        const int idleMs = st.dataProcs.empty() ? daemonIdleSeconds() * 1000 : -1;
        enWaitResult result = waitReadableOrChildEnd(st.clientFd, idleMs);
        if (result == en_Wait_TimedOut)
            OvraLogInfo("pid:%d idle for %d s", getpid(), daemonIdleSeconds());
        if (result != en_Wait_ChildEnded)
            return result == en_Wait_Readable;
    }
}

} // namespace

void runConnectionProcess(int clientFd)
{
    // Data processes are collected by this process (see reapDataProcesses).
    watchChildEnds();
    OvraReopenDbg();
    stConnectionState st;
    st.clientFd = clientFd;
    while (flag) {
        int32_t command = -1;
        if (!waitForCommand(st) || !recvCommandCode(clientFd, command)) {
            OvraLogInfo("pid:%d DISCONNECT FROM SERVER", getpid());
            break;
        }
        OvraLogInfo("pid:%d recv scanCommandType %d", getpid(), command);
        dispatchCommand(st, command);
    }
    close(clientFd);
}
