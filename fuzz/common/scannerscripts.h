// Healthy scanners for the scan daemon's targets and their seeds, built with the
// emulators' own encoders: what a network scanner answers on each of its ports, and
// the script (fakeusb.h) of a USB scanner that answers every command and scans a page.
#pragma once

#include <string>

namespace ovrafuzz {

struct stNetScannerAnswers {
    std::string strJobPost;      // port 80: the job post accepted (RESULT=0)
    std::string strAbort;        // port 80
    std::string strCapabilities; // port 80
    std::string strFeeder;       // port 80: feeder loaded
    std::string strAll;          // port 80: one answer that serves every request above
    std::string strStream;       // port 2080: job header and its data, then strBlocks
    std::string strBlocks;       // NEWFILE, page header, one page in two blocks, JOBDONE
    std::string strAttribute;    // port 5000: length and the reply to "system familyType"
};
const stNetScannerAnswers& HealthyNetScanner();

// Answers for lock, power-on, properties, feeder status, start; then the records of a
// one-page scan (begin of scan, begin of page, image, end of page, end of data).
const std::string& HealthyUsbScanner();

// Makes the scan directory and opens the daemon's logs there (once).
void OpenScanLogs();
// Removes the page files of the scan directory (the logs stay).
void RemovePageFiles();
// Cuts the daemon's logs back when they grew large.
void CapScanLogs();

} // namespace ovrafuzz
