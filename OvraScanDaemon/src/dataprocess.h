// The data process of a scan: reads the scan record by record, writes each
// page into a page file and sends the client one record reply per record.
// Both functions return when the scan has ended or SIGQUIT arrived; the caller
// ends the process. A USB scan's first record may come warmUpSeconds later than
// the others.
#pragma once

#include "ovrascanprotocol.h"

#include <string>

void runUsbDataProcess(int clientFd, int devfd, const std::string& baseName, int warmUpSeconds = 0);
void runTcpDataProcess(int clientFd, OvraSocket socket, const std::string& baseName);
