// Follows the record replies of a scan and tells which page files exist, how many
// bytes each holds, which are finished, and how the scan ended.
//
// A record whose status is begin of page (9) names a new page file: number fileIndex
// of the record. The daemon closes the page before it creates the next one, so every
// earlier page is finished then; the last pages are finished when a record ends the
// scan with end of data (5). A record's bytes went to the page file it names (begin of
// page) or to the one opened before it (fileIndex - 1).
#pragma once

#include "ovrascanprotocol.h"

#include <cstdint>
#include <map>
#include <vector>

namespace ovrascan {

// One record reply of either scan kind.
struct ScanRecord {
    int result = 0;
    int status = 0;
    int fileIndex = 0;
    int dataSize = 0;
};

ScanRecord FromNetRecord(const TCPRecordRes& record);
ScanRecord FromUsbRecord(const USBScanRecordRes& record);

class PageTracker
{
public:
    enum class State {
        Running,
        Done,
        Failed
    };

    struct Step {
        std::vector<int> finishedPages; // pages that this record finished, in order
    };

    Step Handle(const ScanRecord& record);

    State Current() const { return m_state; }
    // The failing result once Failed.
    int FailureStatus() const { return m_failure; }
    // Bytes the daemon wrote into a page file so far.
    int64_t BytesOf(int page) const;
    // Pages opened and not finished (left over when the scan fails).
    std::vector<int> OpenPages() const;
    int PagesOpened() const { return int(m_bytes.size()); }
    // Bytes of all pages together so far.
    int64_t TotalBytes() const { return m_totalBytes; }
    int Records() const { return m_records; }

private:
    std::vector<int> FinishPagesBefore(int page);

    State m_state = State::Running;
    int m_failure = 0;
    int m_records = 0;
    int64_t m_totalBytes = 0;
    std::map<int, int64_t> m_bytes; // every page opened
    std::map<int, bool> m_finished;
};

} // namespace ovrascan
