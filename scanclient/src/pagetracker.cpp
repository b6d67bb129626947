#include "ovrascan/pagetracker.h"

#include <climits>

namespace ovrascan {

ScanRecord FromNetRecord(const TCPRecordRes& record)
{
    return {record.result, record.st, record.fileIndex, record.bufferLen};
}

ScanRecord FromUsbRecord(const USBScanRecordRes& record)
{
    return {record.result, record.st, record.fileIndex, record.dataSize};
}

std::vector<int> PageTracker::FinishPagesBefore(int page)
{
    std::vector<int> finished;
    for (auto& [index, done] : m_finished)
        if (index < page && !done) {
            done = true;
            finished.push_back(index);
        }
    return finished;
}

PageTracker::Step PageTracker::Handle(const ScanRecord& record)
{
    Step step;
    if (m_state != State::Running)
        return step;
    ++m_records;
    if (record.status == SCAN_STATUS_BEGIN_OF_PAGE) {
        step.finishedPages = FinishPagesBefore(record.fileIndex);
        m_bytes[record.fileIndex] = 0;
        m_finished[record.fileIndex] = false;
    }
    if (record.result == OVRA_STATUS_GOOD && record.dataSize > 0) {
        const int page = record.status == SCAN_STATUS_BEGIN_OF_PAGE ? record.fileIndex : record.fileIndex - 1;
        const auto open = m_finished.find(page);
        if (open != m_finished.end() && !open->second) {
            m_bytes[page] += record.dataSize;
            m_totalBytes += record.dataSize;
        }
    }
    if (record.result == OVRA_STATUS_EOF) {
        const std::vector<int> last = FinishPagesBefore(INT_MAX);
        step.finishedPages.insert(step.finishedPages.end(), last.begin(), last.end());
        m_state = State::Done;
    } else if (record.result != OVRA_STATUS_GOOD) {
        m_state = State::Failed;
        m_failure = record.result;
    }
    return step;
}

int64_t PageTracker::BytesOf(int page) const
{
    const auto it = m_bytes.find(page);
    return it == m_bytes.end() ? 0 : it->second;
}

std::vector<int> PageTracker::OpenPages() const
{
    std::vector<int> open;
    for (const auto& [index, done] : m_finished)
        if (!done)
            open.push_back(index);
    return open;
}

} // namespace ovrascan
