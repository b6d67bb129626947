// ovra-bench-scanfollow: one scan through the scan daemon, timed, with the resident
// memory of the daemon's data process sampled while it runs.
#include "benchclock.h"
#include "dataprocess.h"
#include "followoptions.h"
#include "memorysampler.h"
#include "recordfollower.h"
#include "scanstart.h"

#include "ovrascan/daemonconnection.h"

#include <cstdio>
#include <fstream>
#include <memory>

using namespace ovrabench;
using namespace ovrascan;

namespace {

void WriteSamples(const std::string& path, const std::vector<MemoryPoint>& points)
{
    std::ofstream out(path);
    out << "seconds,bytes,rss_kib\n";
    for (const MemoryPoint& point : points)
        out << point.seconds << "," << point.bytes << "," << point.rssKiB << "\n";
}

void PrintResult(const FollowOptions& options, const FollowOutcome& outcome, double streamSeconds, double totalSeconds,
                 pid_t dataProcess, const MemorySampler* sampler)
{
    std::printf("kind=%s bytes=%lld pages=%d records=%d stream_s=%.3f total_s=%.3f mibps=%.1f",
                options.usb ? "usb" : "net", static_cast<long long>(outcome.bytes), outcome.pages, outcome.records,
                streamSeconds, totalSeconds,
                streamSeconds > 0 ? double(outcome.bytes) / streamSeconds / 1048576.0 : 0.0);
    if (sampler) {
        const int64_t total = outcome.bytes;
        std::printf(" data_pid=%d rss10_kib=%ld rss50_kib=%ld rss90_kib=%ld hwm_kib=%ld samples=%zu", int(dataProcess),
                    sampler->RssAtBytes(total / 10), sampler->RssAtBytes(total / 2),
                    sampler->RssAtBytes(total * 9 / 10), sampler->PeakKiB(), sampler->Points().size());
        if (!options.samplesFile.empty())
            WriteSamples(options.samplesFile, sampler->Points());
    }
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    FollowOptions options;
    std::string error;
    if (!ParseFollowOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "ovra-bench-scanfollow: %s\n%s", error.c_str(), kFollowUsage);
        return 2;
    }
    DaemonConnection connection = DaemonConnection::ConnectLocal(options.port ? options.port : DaemonPort(), &error);
    if (!connection.IsOpen()) {
        std::fprintf(stderr, "ovra-bench-scanfollow: %s\n", error.c_str());
        return 1;
    }
    ScanClient client(std::move(connection));
    const std::chrono::milliseconds timeout(options.timeoutSeconds * 1000);
    const std::set<pid_t> before = options.listener > 0 ? Grandchildren(options.listener) : std::set<pid_t>();
    const double t0 = MonoSeconds();
    StartedScan scan = options.usb ? StartUsbScan(client, options.vid, options.pid, options.settings, timeout)
                                   : StartNetScan(client, options.address, options.settings, timeout);
    const double t1 = MonoSeconds();
    std::unique_ptr<MemorySampler> sampler;
    const pid_t dataProcess = options.listener > 0 ? NewGrandchild(options.listener, before) : -1;
    if (dataProcess > 0)
        sampler = std::make_unique<MemorySampler>(dataProcess, options.intervalMs);
    FollowOutcome outcome;
    if (scan.error.empty())
        outcome = FollowRecords(client, scan.next, scan.baseName, [&sampler](int64_t bytes) {
            if (sampler)
                sampler->Progress(bytes);
        });
    const double t2 = MonoSeconds();
    if (sampler)
        sampler->Stop();
    if (scan.finish)
        scan.finish();
    const double t3 = MonoSeconds();
    if (!scan.error.empty() || !outcome.error.empty()) {
        std::fprintf(stderr, "ovra-bench-scanfollow: %s\n", (scan.error.empty() ? outcome.error : scan.error).c_str());
        return 1;
    }
    PrintResult(options, outcome, t2 - t1, t3 - t0, dataProcess, sampler.get());
    return 0;
}
