#include "recordfollower.h"

#include "ovrascan/pagecollector.h"
#include "ovrascan/pagetracker.h"
#include "ovrascan/scanstatus.h"

#include <sys/stat.h>

namespace ovrabench {

using namespace ovrascan;

namespace {

int64_t FileSize(const std::string& path)
{
    struct stat facts = {};
    return stat(path.c_str(), &facts) == 0 ? int64_t(facts.st_size) : -1;
}

// Checks a finished page file and has the daemon delete it; the first mismatch is kept.
void TakePage(ScanClient& client, const std::string& file, int64_t announced, std::string& error)
{
    const int64_t size = FileSize(file);
    if (size != announced && error.empty())
        error = file + " holds " + std::to_string(size) + " of " + std::to_string(announced) + " bytes";
    client.DeleteFile(file);
}

} // namespace

FollowOutcome FollowRecords(ScanClient& client, const NextRecord& next, const std::string& baseName,
                            const BytesSink& progress)
{
    FollowOutcome outcome;
    PageTracker tracker;
    while (tracker.Current() == PageTracker::State::Running) {
        const Reply<ScanRecord> record = next();
        if (!record.Ok()) {
            outcome.error = "the record replies broke off: " + record.transportError;
            break;
        }
        if (record.value.result == OVRA_STATUS_GOOD)
            outcome.bytes += record.value.dataSize;
        for (int page : tracker.Handle(record.value).finishedPages)
            TakePage(client, PageFilePath(baseName, page), tracker.BytesOf(page), outcome.error);
        if (progress)
            progress(outcome.bytes);
    }
    if (tracker.Current() == PageTracker::State::Failed && outcome.error.empty())
        outcome.error = "the scan failed: " + DescribeStatus(tracker.FailureStatus());
    outcome.pages = tracker.PagesOpened();
    outcome.records = tracker.Records();
    return outcome;
}

} // namespace ovrabench
