// Follows the record replies of a running scan to the last one. Every finished page
// file is checked against the bytes its records announced and then deleted through
// the daemon, as a client does once it has taken a page, but without copying it:
// what is measured is the daemon's work alone.
#pragma once

#include "ovrascan/scanclient.h"
#include "ovrascan/scanrunner.h"

#include <cstdint>
#include <functional>
#include <string>

namespace ovrabench {

struct FollowOutcome {
    std::string error; // empty when the scan ended with end of data and every page was whole
    int64_t bytes = 0; // image bytes the records announced
    int pages = 0;
    int records = 0;
};

// Hears the image bytes announced so far after every record.
using BytesSink = std::function<void(int64_t)>;

FollowOutcome FollowRecords(ovrascan::ScanClient& client, const ovrascan::NextRecord& next, const std::string& baseName,
                            const BytesSink& progress);

} // namespace ovrabench
