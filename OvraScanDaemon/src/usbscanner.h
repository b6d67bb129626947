// The USB scanner command protocol: 8-byte commands on bulk-out endpoint 0x02,
// responses and scan records on bulk-in endpoint 0x82. Every operation takes
// a usbfs device handle and returns a status in the SANE_Status numbering (a
// negative value passes through a failed response read).
#pragma once

#include "ovrascannerusb.h"

#include <cstdint>

constexpr unsigned OVRA_RESPONSE_BUFFER_SIZE = 200;
constexpr unsigned OVRA_RECORD_BUFFER_SIZE = 512;

// The process's response buffer, reused by every response read.
extern unsigned char m_ResComBuf[OVRA_RESPONSE_BUFFER_SIZE];

// Exchange helpers.
int RequestScanner(int fd, const void* reqCmd, unsigned dwReqBytes);
int ResponseScanner(int fd, CommandType type);
int ConvertResponseFlagToErrorCode(unsigned char flag, CommandType type);
int ReadWithRetry(int fd, char* lpBuffer, unsigned dwBytesToRead);
unsigned char* getScanBuffer(unsigned char* buf, unsigned dwNeedSize);

// The lock command for the given settings.
ReqScanLock buildScanLock(const SettingInfo& info);

// Commands.
int ScanStart(int m_pDeviceHandle);
int ScanDeviceProperties(int m_pDeviceHandle, ResScanDeviceProperties* pDevProp);
int ScanADFStatus(int m_pDeviceHandle, ADFStatus* status);
int ScanLock(int m_pDeviceHandle, const SettingInfo* pSettingInfo);
int ScanUnlock(int m_pDeviceHandle);
int ScanGetScanSizes(int m_pDeviceHandle);
int ScanAbort(int m_pDeviceHandle);
// Wakes the scanner; *warmUpSeconds (when given) gets the warm-up time it reports.
int ScanPowerOn(int m_pDeviceHandle, int* warmUpSeconds = nullptr);

// Reads one record of the scan stream, waiting up to timeoutMs for it. Fills
// *scanStatus (left alone for a record without payload or a device abort), grows
// *pBuffer / *bufSize when a record needs more room, and sets *readSize to the
// image bytes read.
constexpr int OVRA_RECORD_TIMEOUT_MS = 30000;
int ScanRecord(int m_pDeviceHandle, ScanStatus* scanStatus, unsigned char** pBuffer, uint16_t* bufSize,
               uint16_t* readSize, int timeoutMs = OVRA_RECORD_TIMEOUT_MS);
