#include "followoptions.h"

#include <map>

namespace ovrabench {

using ovrascan::ScanSource;

const char* const kFollowUsage =
    "usage: ovra-bench-scanfollow net ADDRESS | usb VID:PID [options]\n"
    "  Scans through the scan daemon (grey, raw) without copying the pages out, and prints\n"
    "  one line: bytes, pages, seconds, rate and the data process's resident memory.\n"
    "  --source flatbed|adf|adf-multi  (default: flatbed)\n"
    "  --port N            the daemon's port\n"
    "  --listener PID      the daemon's listener; its new data process is sampled\n"
    "  --interval-ms N     sampling interval (default 20)\n"
    "  --timeout SECONDS   longest wait for a record (default 60)\n"
    "  --samples FILE      the samples as CSV: seconds,bytes,rss_kib\n";

namespace {

bool ParseUsbIds(const std::string& text, FollowOptions& options)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos)
        return false;
    options.vid = uint16_t(std::stoul(text.substr(0, colon), nullptr, 16));
    options.pid = uint16_t(std::stoul(text.substr(colon + 1), nullptr, 16));
    return true;
}

bool ParseSource(const std::string& text, ScanSource& source)
{
    static const std::map<std::string, ScanSource> names = {{"flatbed", ScanSource::Flatbed},
                                                            {"adf", ScanSource::FeederSinglePage},
                                                            {"adf-multi", ScanSource::FeederMultiPage}};
    const auto found = names.find(text);
    if (found == names.end())
        return false;
    source = found->second;
    return true;
}

bool ParseValue(const std::string& name, const std::string& value, FollowOptions& options)
{
    if (name == "--source")
        return ParseSource(value, options.settings.source);
    if (name == "--port")
        options.port = uint16_t(std::stoul(value));
    else if (name == "--listener")
        options.listener = pid_t(std::stol(value));
    else if (name == "--interval-ms")
        options.intervalMs = std::stoi(value);
    else if (name == "--timeout")
        options.timeoutSeconds = std::stoi(value);
    else if (name == "--samples")
        options.samplesFile = value;
    else
        return false;
    return true;
}

} // namespace

bool ParseFollowOptions(const std::vector<std::string>& args, FollowOptions& options, std::string& error)
{
    options.settings.mode = ovrascan::ColorMode::Gray;
    options.settings.format = ovrascan::ImageFormat::Raw;
    if (args.size() < 2 || (args[0] != "net" && args[0] != "usb")) {
        error = "name the scanner: net ADDRESS or usb VID:PID";
        return false;
    }
    options.usb = args[0] == "usb";
    if (options.usb ? !ParseUsbIds(args[1], options) : (options.address = args[1]).empty()) {
        error = "bad scanner: " + args[1];
        return false;
    }
    try {
        for (size_t i = 2; i < args.size(); i += 2) {
            if (i + 1 >= args.size() || !ParseValue(args[i], args[i + 1], options)) {
                error = "bad option: " + args[i];
                return false;
            }
        }
    } catch (const std::exception&) {
        error = "bad number in the options";
        return false;
    }
    return true;
}

} // namespace ovrabench
