#include "ovrascan/pagetracker.h"
#include "ovrascan/scanrunner.h"
#include "ovrascan/scanstatus.h"

namespace ovrascan {

namespace {

void Tell(const ProgressSink& progress, const std::string& line)
{
    if (progress)
        progress(line);
}

ScanOutcome Failure(int status, const std::string& message, const PageCollector& collector)
{
    return {status, message, collector.Saved()};
}

std::string PagesSoFar(const PageCollector& collector)
{
    return std::to_string(collector.Saved().size()) + " page(s) saved";
}

// Copies the finished pages; the first copy failure is kept in `error`.
void CollectPages(const std::vector<int>& pages, const std::string& baseName, const PageTracker& tracker,
                  PageCollector& collector, const ProgressSink& progress, std::string& error)
{
    for (int page : pages) {
        std::string problem;
        const std::string file = PageFilePath(baseName, page);
        switch (collector.Collect(file, tracker.BytesOf(page), problem)) {
        case PageCollector::Result::Saved:
            Tell(progress, "page " + std::to_string(collector.Saved().size()) + ": " + collector.Saved().back().path
                               + " (" + std::to_string(collector.Saved().back().bytes) + " bytes)");
            break;
        case PageCollector::Result::Empty: Tell(progress, "page file " + file + " is empty: skipped"); break;
        case PageCollector::Result::Failed:
            if (error.empty())
                error = problem;
            break;
        }
    }
}

void DiscardOpenPages(const PageTracker& tracker, const std::string& baseName, PageCollector& collector)
{
    for (int page : tracker.OpenPages())
        collector.Discard(PageFilePath(baseName, page));
}

} // namespace

ScanOutcome FollowScan(const NextRecord& next, const std::string& baseName, PageCollector& collector,
                       const ProgressSink& progress, const ProgressMeter& meter)
{
    PageTracker tracker;
    std::string copyError;
    while (tracker.Current() == PageTracker::State::Running) {
        const Reply<ScanRecord> record = next();
        if (!record.Ok()) {
            DiscardOpenPages(tracker, baseName, collector);
            return Failure(OVRA_STATUS_IO_ERROR,
                           "the scan broke off after " + PagesSoFar(collector) + ": " + record.transportError,
                           collector);
        }
        CollectPages(tracker.Handle(record.value).finishedPages, baseName, tracker, collector, progress, copyError);
        if (meter)
            meter({tracker.PagesOpened(), int(collector.Saved().size()), tracker.TotalBytes()});
    }
    if (tracker.Current() == PageTracker::State::Failed) {
        DiscardOpenPages(tracker, baseName, collector);
        return Failure(tracker.FailureStatus(),
                       "the scan failed after " + PagesSoFar(collector) + ": "
                           + DescribeStatus(tracker.FailureStatus()),
                       collector);
    }
    if (!copyError.empty())
        return Failure(OVRA_STATUS_IO_ERROR, "a page could not be collected: " + copyError, collector);
    if (collector.Saved().empty())
        return Failure(OVRA_STATUS_NO_DOCS, "the scanner delivered no page: " + DescribeStatus(OVRA_STATUS_NO_DOCS),
                       collector);
    return {OVRA_STATUS_GOOD, std::string(), collector.Saved()};
}

} // namespace ovrascan
