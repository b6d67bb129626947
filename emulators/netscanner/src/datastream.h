// Sends one accepted job down a data connection: job header, each page (NEWFILE, page
// header, image blocks), JOBDONE, with the scripted faults.
#pragma once

#include "ovraemu/netscanjob.h"
#include "ovraemu/netscanrecords.h"

#include <string>

namespace ovraemu {

// What the stream needs from the scanner while it runs.
class StreamControl
{
public:
    virtual ~StreamControl() = default;
    // True once an abort request or the scanner's stop ends the stream.
    virtual bool Cancelled() const = 0;
    // The outcome a cancelled stream ends with.
    virtual JobOutcome CancelledOutcome() const = 0;
    virtual void PageSent(int page) = 0;
    virtual void FeederJammed() = 0;
    // Returns once Cancelled() holds.
    virtual void HoldUntilCancelled() = 0;
    virtual void Event(const std::string& line) = 0;
};

// Streams `job` on fd; `jamBeforePage` (or -1) is where a feeder jam ends it.
JobOutcome StreamJob(int fd, const ScanJobRecord& job, const NetScanJob& script, int jamBeforePage,
                     StreamControl& control);

} // namespace ovraemu
