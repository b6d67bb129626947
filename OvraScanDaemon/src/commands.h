// The client commands. Each receives its own request record from the client
// connection, executes it and sends its reply.
#pragma once

#include "connectionstate.h"
#include "ovrascanprotocol.h"

#include <cstddef>
#include <cstdint>

// The status of a command naming a device handle or data connection this
// connection did not open.
constexpr int32_t c_iNotOwnHandle = OVRA_STATUS_IO_ERROR;

// Receives a request record with one receive call; logs errLine to the error
// log and returns false when the call does not bring exactly the record.
bool receiveRequest(stConnectionState& st, void* record, size_t size, const char* errLine);
// Sends a reply; logs errLine (when given) to the error log on failure.
bool sendReply(stConnectionState& st, const void* record, size_t size, const char* errLine);

// USB device commands.
void cmdUsbFindDev(stConnectionState& st);
void cmdUsbOpenDev(stConnectionState& st);
void cmdUsbCloseDev(stConnectionState& st);
void cmdUsbClearDev(stConnectionState& st);
void cmdUsbResetDevEp(stConnectionState& st);
void cmdUsbReopenDev(stConnectionState& st);
// USB scanner commands.
void cmdUsbScanLock(stConnectionState& st);
void cmdUsbScanUnlock(stConnectionState& st);
void cmdUsbScanAdfStatus(stConnectionState& st);
void cmdUsbScanPowerOn(stConnectionState& st);
void cmdUsbScanGetSizes(stConnectionState& st);
void cmdUsbScanDevProperties(stConnectionState& st);
// Network scanner commands.
void cmdTcpSendOsl(stConnectionState& st);
void cmdTcpScanAdfStatus(stConnectionState& st);
void cmdTcpScanDevProperties(stConnectionState& st);
// Scan jobs and scan files.
void cmdUsbScanStart(stConnectionState& st);
void cmdTcpScanStart(stConnectionState& st);
void cmdUsbScanAbort(stConnectionState& st);
void cmdTcpScanAbort(stConnectionState& st);
void cmdDeleteFile(stConnectionState& st);

// Runs the command with the given code; false for an undefined code.
bool dispatchCommand(stConnectionState& st, int32_t command);
