// One scan-start sequence for every scanner transport (USB_SCAN_START, TCP_SCAN_START).
//
// The sequence, the same for every transport and in this order: receive the request; check
// that the connection owns what the request names (a usbfs handle this connection must have
// opened, a data connection of an earlier start it gives up); start the scan on the scanner;
// note the data connection the start opened; take the next base name of the page files; fork
// the data process, which waits until the client has the reply; send the reply and log
// "<transport> scanstart main process exit:<status> pid:<pid>"; let the data process go.
//
// A transport gives what differs as a table of functions, in its own file (usbscanstart.cpp,
// netscanstart.cpp). Each function gets the transport's own job record (its request and reply
// records), which the sequence passes on untouched.
#pragma once

#include "connectionstate.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A reply record as it goes to the client.
struct stWireRecord {
    const void* data;
    size_t size;
};

struct stScanTransport {
    // First word of the start's log line: "usb", "tcp".
    const char* name;
    // Receives the request record into the job. False (logged) when it did not come whole;
    // the start then ends without a reply.
    bool (*receiveRequest)(stConnectionState& st, void* job);
    // The usbfs handle the request names, or nullptr for a transport without one. A handle
    // this connection did not open refuses the start (c_iNotOwnHandle); the scanner is not asked.
    int (*deviceHandle)(const void* job);
    // The data connection the request names, which the start replaces, or nullptr for a
    // transport without one. One this connection did not open is never closed: the start gets
    // -1 in its place. After a good start it holds the data connection the start opened.
    int* (*dataConnection)(void* job);
    // Starts the scan on the scanner; returns the start's status.
    int32_t (*startOnScanner)(void* job);
    // The reply record with the start's status and the base name of its page files.
    stWireRecord (*reply)(void* job, int32_t result, const std::string& baseName);
    // Runs in the data process: the scan record by record into page files and record replies.
    void (*runDataProcess)(const stConnectionState& st, const void* job, const std::string& baseName);
};

// Runs the scan-start sequence with the given transport and job record.
void runScanStart(stConnectionState& st, const stScanTransport& transport, void* job);

// A transport's own job record behind the pointer the sequence passes on.
template <typename Job>
Job& jobOf(void* job)
{
    return *static_cast<Job*>(job);
}

template <typename Job>
const Job& jobOf(const void* job)
{
    return *static_cast<const Job*>(job);
}
