// The scanner's response flag as a status code.
#include "scanlog.h"
#include "usbscanner.h"

namespace {

void logUnknownFlag(unsigned char flag) { OvraLogErr("Response flag is unknown [0x%02x]", flag); }

int lockRefused(unsigned char flag, CommandType type)
{
    if (flag == OVRA_SCAN_RESPONSE_REFUSED) {
        if (type == CMD_TYPE_SCAN_START || type == CMD_TYPE_SCAN_POWER_ON_COMMAND) {
            OvraLogErr("Response: Invalid scan request - parameter error");
            return OVRA_STATUS_IO_ERROR;
        }
        if (type == CMD_TYPE_SCAN_LOCK) {
            OvraLogErr("Response: Lock could not be obtained - scanner resource is already locked");
            return OVRA_STATUS_DEVICE_BUSY;
        }
        logUnknownFlag(flag);
        return OVRA_STATUS_IO_ERROR;
    }
    // OVRA_SCAN_RESPONSE_NO_MEMORY
    if (type == CMD_TYPE_SCAN_LOCK) {
        OvraLogErr("Response: Lock could not be obtained because device doesn't have enough memory to perform scan");
        return OVRA_STATUS_IO_ERROR;
    }
    logUnknownFlag(flag);
    return OVRA_STATUS_IO_ERROR;
}

} // namespace

int ConvertResponseFlagToErrorCode(unsigned char flag, CommandType type)
{
    switch (flag) {
    case OVRA_SCAN_RESPONSE_SUCCESS:
        OvraLogInfo("Response: Command was successfully executed");
        return OVRA_STATUS_GOOD;
    case OVRA_SCAN_RESPONSE_INVALID_COMMAND:
        OvraLogErr("Response: Command is invalid or not supported");
        return OVRA_STATUS_IO_ERROR;
    case OVRA_SCAN_RESPONSE_FAILED: OvraLogErr("Response: Command execution has failed"); return OVRA_STATUS_IO_ERROR;
    case OVRA_SCAN_RESPONSE_LOCK_REQUIRED:
        OvraLogErr("Response: Lock required to execute command");
        return OVRA_STATUS_IO_ERROR;
    case OVRA_SCAN_RESPONSE_POWERED_OFF:
        OvraLogErr("Response: Device is currently powered off");
        return OVRA_STATUS_IO_ERROR;
    case OVRA_SCAN_RESPONSE_CATASTROPHIC: OvraLogErr("Response: Catastrophic error"); return OVRA_STATUS_IO_ERROR;
    case OVRA_SCAN_RESPONSE_COMMUNICATION:
        OvraLogErr("Response: Communication error (Host software use only. Printer will not send this error code.)");
        return OVRA_STATUS_IO_ERROR;
    case OVRA_SCAN_RESPONSE_REFUSED:
    case OVRA_SCAN_RESPONSE_NO_MEMORY: return lockRefused(flag, type);
    default:
        // An unknown flag is taken as success.
        logUnknownFlag(flag);
        return OVRA_STATUS_GOOD;
    }
}
