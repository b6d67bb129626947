// ovra-scan: the reference scan client. Lists the scanners the scan daemon reaches, or
// scans from one of them into a folder of page files.
#include "clioptions.h"
#include "progressline.h"

#include "ovracli.h"

#include "ovrascan/devicelisting.h"
#include "ovrascan/scanrunner.h"

#include <cstdio>

using namespace ovrascan;

namespace {

int List(ScanClient& client, const ClientOptions& options)
{
    ListOptions list;
    list.usbVendorId = options.vendorId.value_or(kOvraUsbVendorId);
    list.netAddresses = options.netAddresses;
    std::vector<std::string> lines;
    std::string error;
    if (!ListDevices(client, list, lines, error)) {
        fprintf(stderr, "ovra-scan: listing the scanners failed: %s\n", error.c_str());
        return 1;
    }
    for (const std::string& line : lines)
        printf("%s\n", line.c_str());
    if (lines.empty() && !options.quiet)
        printf("no scanner found\n");
    return 0;
}

int Scan(ScanClient& client, const ClientOptions& options)
{
    ScanJobOptions job;
    job.settings = options.settings;
    job.outputFolder = options.outputFolder;
    job.recordTimeout = std::chrono::seconds(options.timeoutSeconds);
    job.usbVendorId = options.vendorId.value_or(kOvraUsbVendorId);
    ProgressLine meter(stdout);
    if (!options.quiet) {
        job.progress = [&meter](const std::string& line) {
            meter.Clear();
            printf("%s\n", line.c_str());
            fflush(stdout);
        };
        if (meter.Shown())
            job.meter = [&meter](const ScanProgress& progress) { meter.Update(progress); };
    }
    const ScanOutcome outcome = RunScan(client, *options.device, job);
    meter.Clear();
    if (!outcome.Ok()) {
        fprintf(stderr, "ovra-scan: %s\n", outcome.message.c_str());
        return 1;
    }
    if (!options.quiet)
        printf("%zu page(s) scanned into %s\n", outcome.pages.size(), options.outputFolder.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    ClientOptions options;
    std::string error;
    if (!ParseClientOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        fprintf(stderr, "ovra-scan: %s\n%s", error.c_str(), kClientUsage);
        return 2;
    }
    if (options.help) {
        fputs(kClientUsage, stdout);
        return en_Exit_Ok;
    }
    if (options.version) {
        PrintOvraVersion("ovra-scan");
        return en_Exit_Ok;
    }
    DaemonConnection connection = DaemonConnection::ConnectLocal(options.port.value_or(DaemonPort()), &error);
    if (!connection.IsOpen()) {
        fprintf(stderr, "ovra-scan: %s\n", error.c_str());
        return 1;
    }
    ScanClient client(std::move(connection));
    return options.list ? List(client, options) : Scan(client, options);
}
