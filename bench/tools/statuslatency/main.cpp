// ovra-bench-statuslatency: the time from a state change in an emulated printer to the
// rewrite of its status file by the print service and to the tray monitor showing it.
// Prints per printer kind one line:
//   kind=usb queue=Q changes=N file_seen=N file_median_ms=.. file_p95_ms=.. file_max_ms=..
//   tray_seen=N tray_median_ms=.. tray_p95_ms=.. tray_max_ms=.. polls=N seconds=S
// (polls: the status requests the printer answered during the changes, which tell the
// service's actual polling cadence).
#include "benchclock.h"
#include "changerun.h"
#include "latencyoptions.h"
#include "latencystats.h"
#include "observers.h"

#include <cstdio>
#include <fstream>
#include <thread>

using namespace ovrabench;

namespace {

struct PrinterRun {
    std::unique_ptr<PrinterDriver> driver;
    const ChangePlan* plan = nullptr;
    bool settled = false;
    std::vector<ChangeSample> samples;
    long polls = 0;     // status requests during the changes
    double seconds = 0; // length of the changes
};

PrinterRun MakeRun(std::unique_ptr<PrinterDriver> driver, const ChangePlan& plan)
{
    PrinterRun run;
    run.driver = std::move(driver);
    run.plan = &plan;
    return run;
}

void PrintSummary(const PrinterRun& run)
{
    std::vector<double> file, tray;
    for (const ChangeSample& sample : run.samples) {
        file.push_back(sample.fileMs);
        tray.push_back(sample.trayMs);
    }
    const LatencySummary f = Summarize(file);
    const LatencySummary t = Summarize(tray);
    std::printf("kind=%s queue=%s settled=%d changes=%zu file_seen=%d file_median_ms=%.0f file_p95_ms=%.0f "
                "file_max_ms=%.0f tray_seen=%d tray_median_ms=%.0f tray_p95_ms=%.0f tray_max_ms=%.0f "
                "polls=%ld seconds=%.1f\n",
                run.driver->Kind(), run.plan->queue.c_str(), run.settled ? 1 : 0, run.samples.size(), f.seen, f.median,
                f.p95, f.max, t.seen, t.median, t.p95, t.max, run.polls, run.seconds);
}

void WriteCsv(const std::string& path, const std::vector<PrinterRun>& runs)
{
    std::ofstream out(path);
    out << "kind,state,file_ms,tray_ms\n";
    for (const PrinterRun& run : runs) {
        for (const ChangeSample& sample : run.samples)
            out << run.driver->Kind() << "," << sample.state << "," << sample.fileMs << "," << sample.trayMs << "\n";
    }
}

} // namespace

int main(int argc, char** argv)
{
    LatencyOptions options;
    std::string error;
    if (!ParseLatencyOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "ovra-bench-statuslatency: %s\n%s", error.c_str(), kLatencyUsage);
        return 2;
    }
    std::vector<PrinterRun> runs;
    if (!options.usbSocket.empty())
        runs.push_back(MakeRun(MakeUsbDriver(options.usbSocket, options.usbPrinterId), options.usb));
    if (!options.netAddress.empty()) {
        runs.push_back(MakeRun(MakeNetDriver(options.netAddress, &error), options.net));
        if (!runs.back().driver) {
            std::fprintf(stderr, "ovra-bench-statuslatency: %s\n", error.c_str());
            return 1;
        }
    }
    std::printf("ready\n");
    std::fflush(stdout);
    ChangeLog log;
    Observers observers(log, options.statusFolder, options.trayLogFolder);
    std::vector<std::thread> threads;
    for (PrinterRun& run : runs) {
        threads.emplace_back([&run, &log] {
            run.settled = Settle(*run.driver, log, *run.plan);
            if (!run.settled)
                return;
            const long polls = run.driver->Polls();
            const double start = MonoSeconds();
            run.samples = RunChanges(*run.driver, log, *run.plan);
            run.seconds = MonoSeconds() - start;
            run.polls = run.driver->Polls() - polls;
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (const PrinterRun& run : runs)
        PrintSummary(run);
    if (!options.csvFile.empty())
        WriteCsv(options.csvFile, runs);
    return 0;
}
