#include "datastream.h"

#include "chartstream.h"
#include "socketio.h"
#include "streamheaders.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace ovraemu {

namespace {

constexpr size_t kLargestBlock = 999999;

// The image blocks of one page: slices of its planned bytes, or a chart drawn and
// encoded block by block while it is sent.
class PageBlocks
{
public:
    PageBlocks(const ScanJobRecord& job, int page, size_t blockSize)
        : m_image(job.pages[size_t(page)]), m_blockSize(blockSize)
    {
        if (!job.chart)
            return;
        ChartPage chart = *job.chart;
        chart.number = page + 1;
        m_chart = std::make_unique<ChartStream>(chart,
                                                job.type == ImageType::Jpeg ? ChartEncoding::Jpeg : ChartEncoding::Raw);
    }

    // The next block; empty after the last.
    std::vector<uint8_t> Next()
    {
        if (m_chart)
            return m_chart->Read(m_blockSize);
        const size_t size = std::min(m_blockSize, m_image.size() - m_offset);
        const auto begin = m_image.begin() + long(m_offset);
        m_offset += size;
        return std::vector<uint8_t>(begin, begin + long(size));
    }

private:
    const std::vector<uint8_t>& m_image;
    size_t m_blockSize;
    size_t m_offset = 0;
    std::unique_ptr<ChartStream> m_chart;
};

class JobStreamer
{
public:
    JobStreamer(int fd, const ScanJobRecord& job, const NetScanJob& script, StreamControl& control)
        : m_fd(fd), m_job(job), m_script(script), m_control(control),
          m_blockSize(std::clamp<size_t>(script.blockSize, 1, kLargestBlock))
    {
    }

    JobOutcome Run(int jamBeforePage)
    {
        const std::string jobData = JobHeaderData(m_job);
        if (!Send(JobHeader(jobData.size(), Style()) + jobData))
            return Broken();
        for (int page = 0; page < int(m_job.pages.size()); ++page) {
            if (page == jamBeforePage)
                return Jam(page);
            if (const auto outcome = SendPage(page))
                return *outcome;
            m_control.PageSent(page);
        }
        if (jamBeforePage >= 0 && jamBeforePage == int(m_job.pages.size()))
            return Jam(jamBeforePage);
        if (!Send(kJobDoneMarker))
            return Broken();
        m_control.Event("data JOBDONE after " + std::to_string(m_job.pages.size()) + " page(s)");
        return JobOutcome::Completed;
    }

private:
    SizeFieldStyle Style() const { return m_script.sizeFields; }

    bool Send(const std::string& bytes) { return !m_control.Cancelled() && SendAll(m_fd, bytes); }

    bool Send(const uint8_t* bytes, size_t size) { return !m_control.Cancelled() && SendAll(m_fd, bytes, size); }

    JobOutcome Broken() const
    {
        return m_control.Cancelled() ? m_control.CancelledOutcome() : JobOutcome::Disconnected;
    }

    JobOutcome Jam(int page)
    {
        m_control.FeederJammed();
        m_control.Event("data fault: feeder jam before page " + std::to_string(page + 1) + ", connection closed");
        return JobOutcome::Faulted;
    }

    bool SendPageStart(int page)
    {
        if (page == 0 && m_script.firstPageWithoutNewFile)
            return true;
        const std::string pageData = PageHeaderData(m_job, page);
        return Send(kNewFileMarker + PageHeader(pageData.size(), Style()) + pageData);
    }

    bool FaultHits(int page, int block) const
    {
        const DataFault& fault = m_script.fault;
        return (fault.kind == DataFaultKind::CloseMidBlock || fault.kind == DataFaultKind::ShortBlock)
               && fault.page == page && fault.block == block;
    }

    JobOutcome SendFaultyBlock(int page, int block, const uint8_t* bytes, size_t size)
    {
        const DataFault& fault = m_script.fault;
        const size_t delivered = std::min(fault.deliveredBytes, size > 0 ? size - 1 : 0);
        if (!Send(DataBlockHeader(size, Style())) || !Send(bytes, delivered))
            return Broken();
        const std::string where = "page " + std::to_string(page + 1) + " block " + std::to_string(block + 1) + ": "
                                  + std::to_string(delivered) + " of " + std::to_string(size) + " bytes";
        if (fault.kind == DataFaultKind::CloseMidBlock) {
            m_control.Event("data fault: connection closed mid-block, " + where);
            return JobOutcome::Faulted;
        }
        m_control.Event("data fault: short block, " + where + ", then silence");
        m_control.HoldUntilCancelled();
        // What ended the silence (an abort or the stop) is the job's outcome.
        return m_control.CancelledOutcome();
    }

    std::optional<JobOutcome> SendPage(int page)
    {
        if (!SendPageStart(page))
            return Broken();
        PageBlocks blocks(m_job, page, m_blockSize);
        int block = 0;
        size_t bytes = 0;
        for (std::vector<uint8_t> data = blocks.Next(); !data.empty(); data = blocks.Next(), ++block) {
            if (FaultHits(page, block))
                return SendFaultyBlock(page, block, data.data(), data.size());
            if (!Send(DataBlockHeader(data.size(), Style())) || !Send(data.data(), data.size()))
                return Broken();
            bytes += data.size();
        }
        m_control.Event("data page " + std::to_string(page + 1) + "/" + std::to_string(m_job.pages.size()) + ": "
                        + std::to_string(bytes) + " bytes in " + std::to_string(block) + " block(s)");
        return std::nullopt;
    }

    int m_fd;
    const ScanJobRecord& m_job;
    const NetScanJob& m_script;
    StreamControl& m_control;
    size_t m_blockSize;
};

} // namespace

JobOutcome StreamJob(int fd, const ScanJobRecord& job, const NetScanJob& script, int jamBeforePage,
                     StreamControl& control)
{
    return JobStreamer(fd, job, script, control).Run(jamBeforePage);
}

} // namespace ovraemu
