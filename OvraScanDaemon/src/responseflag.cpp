// The scanner's response flag as a status code.
#include "scanlog.h"
#include "usbscanner.h"

namespace {

void logUnknownFlag(unsigned char flag)
{
    OvraLogErr("Response flag is unknown [0x%02x]", flag);
}

int lockRefused(unsigned char flag, CommandType type)
{
    if (flag == 0x88) {
        if (type == CMD_TYPE_SCAN_START || type == CMD_TYPE_SCAN_POWER_ON_COMMAND) {
            OvraLogErr("Response: Invalid scan request - parameter error");
            return 9;
        }
        if (type == CMD_TYPE_SCAN_LOCK) {
            OvraLogErr("Response: Lock could not be obtained - scanner resource is already locked");
            return 3;
        }
        logUnknownFlag(flag);
        return 9;
    }
    // 0x89
    if (type == CMD_TYPE_SCAN_LOCK) {
        OvraLogErr("Response: Lock could not be obtained because device doesn't have enough memory to perform scan");
        return 9;
    }
    logUnknownFlag(flag);
    return 9;
}

} // namespace

int ConvertResponseFlagToErrorCode(unsigned char flag, CommandType type)
{
    switch (flag) {
    case 0x80:
        OvraLogInfo("Response: Command was successfully executed");
        return 0;
    case 0x81:
        OvraLogErr("Response: Command is invalid or not supported");
        return 9;
    case 0x82:
        OvraLogErr("Response: Command execution has failed");
        return 9;
    case 0x83:
        OvraLogErr("Response: Lock required to execute command");
        return 9;
    case 0x84:
        OvraLogErr("Response: Device is currently powered off");
        return 9;
    case 0x85:
        OvraLogErr("Response: Catastrophic error");
        return 9;
    case 0x86:
        OvraLogErr("Response: Communication error (Host software use only. Printer will not send this error code.)");
        return 9;
    case 0x88:
    case 0x89:
        return lockRefused(flag, type);
    default:
        logUnknownFlag(flag);
        return 0;
    }
}
