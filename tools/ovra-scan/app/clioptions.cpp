#include "clioptions.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <functional>
#include <map>

using namespace ovrascan;

const char* const kClientUsage =
    "usage: ovra-scan --list [--net ADDRESS]...\n"
    "       ovra-scan --device usb:BUS:DEV|net:ADDRESS --out DIR [options]\n"
    "Scans through the scan daemon (OvraScanDaemon, 127.0.0.1 port 7001 or\n"
    "OVRA_SCAN_DAEMON_PORT) into DIR/page-001.jpg, page-002.jpg, ...\n"
    "  --source flatbed|adf|adf-multi   flatbed (default), one feeder page, every feeder page\n"
    "  --mode color|gray|bw             colour (default), grey or black and white\n"
    "  --resolution DPI                 50 to 1200 (default 300)\n"
    "  --area X,Y,W,H                   scan area in millimetres (default 0,0,215.9,297)\n"
    "  --format jpeg|raw                page format (default jpeg; raw for bw)\n"
    "  --brightness N, --contrast N     0 to 255 (default 50)\n"
    "  --background-removal N           level 1 to 255 (default off)\n"
    "  --timeout SECONDS                longest wait for the scanner (default 120)\n"
    "  --port N                         the daemon's port\n"
    "  --vid HEX                        USB vendor ID to list (default 3a53)\n"
    "  --quiet                          print nothing but errors\n"
    "  --help, --version                this help, the version\n"
    "On a terminal a scan shows its progress (page, bytes, rate) on one line.\n";

namespace {

bool ToInt(const std::string& text, int minimum, int maximum, int& value)
{
    char* end = nullptr;
    const long number = strtol(text.c_str(), &end, 10);
    value = int(number);
    return !text.empty() && *end == '\0' && number >= minimum && number <= maximum;
}

bool ToArea(const std::string& text, ScanArea& area)
{
    double values[4];
    const char* at = text.c_str();
    for (int i = 0; i < 4; ++i) {
        char* end = nullptr;
        values[i] = strtod(at, &end);
        if (end == at || *end != (i < 3 ? ',' : '\0'))
            return false;
        at = end + 1;
    }
    area = {values[0], values[1], values[2], values[3]};
    return true;
}

template <typename T>
bool FromTable(const std::map<std::string, T>& table, const std::string& text, T& value)
{
    const auto it = table.find(text);
    if (it != table.end())
        value = it->second;
    return it != table.end();
}

using Setter = std::function<bool(const std::string&, ClientOptions&, std::string&)>;

const std::map<std::string, Setter>& ValueOptions()
{
    static const std::map<std::string, ScanSource> sources = {{"flatbed", ScanSource::Flatbed},
                                                              {"adf", ScanSource::FeederSinglePage},
                                                              {"adf-multi", ScanSource::FeederMultiPage}};
    static const std::map<std::string, ColorMode> modes = {
        {"color", ColorMode::Color}, {"colour", ColorMode::Color},     {"gray", ColorMode::Gray},
        {"grey", ColorMode::Gray},   {"bw", ColorMode::BlackAndWhite}, {"lineart", ColorMode::BlackAndWhite}};
    static const std::map<std::string, ImageFormat> formats = {{"jpeg", ImageFormat::Jpeg},
                                                               {"jpg", ImageFormat::Jpeg},
                                                               {"raw", ImageFormat::Raw}};
    static const std::map<std::string, Setter> options = {
        {"--net",
         [](const std::string& v, ClientOptions& o, std::string&) {
             in_addr parsed{};
             o.netAddresses.push_back(v);
             return inet_pton(AF_INET, v.c_str(), &parsed) == 1;
         }},
        {"--device",
         [](const std::string& v, ClientOptions& o, std::string& error) {
             o.device = ParseDeviceAddress(v, error);
             return o.device.has_value();
         }},
        {"--out",
         [](const std::string& v, ClientOptions& o, std::string&) {
             o.outputFolder = v;
             return !v.empty();
         }},
        {"--source",
         [](const std::string& v, ClientOptions& o, std::string&) { return FromTable(sources, v, o.settings.source); }},
        {"--mode",
         [](const std::string& v, ClientOptions& o, std::string&) { return FromTable(modes, v, o.settings.mode); }},
        {"--format",
         [](const std::string& v, ClientOptions& o, std::string&) {
             ImageFormat format = ImageFormat::Jpeg;
             const bool known = FromTable(formats, v, format);
             o.settings.format = format;
             return known;
         }},
        {"--resolution", [](const std::string& v, ClientOptions& o,
                            std::string&) { return ToInt(v, 1, 65535, o.settings.resolution); }},
        {"--area", [](const std::string& v, ClientOptions& o, std::string&) { return ToArea(v, o.settings.area); }},
        {"--brightness",
         [](const std::string& v, ClientOptions& o, std::string&) { return ToInt(v, 0, 255, o.settings.brightness); }},
        {"--contrast",
         [](const std::string& v, ClientOptions& o, std::string&) { return ToInt(v, 0, 255, o.settings.contrast); }},
        {"--background-removal", [](const std::string& v, ClientOptions& o,
                                    std::string&) { return ToInt(v, 0, 255, o.settings.backgroundRemoval); }},
        {"--timeout",
         [](const std::string& v, ClientOptions& o, std::string&) { return ToInt(v, 1, 3600, o.timeoutSeconds); }},
        {"--port",
         [](const std::string& v, ClientOptions& o, std::string&) {
             int port = 0;
             const bool ok = ToInt(v, 1, 65535, port);
             o.port = uint16_t(port);
             return ok;
         }},
        {"--vid",
         [](const std::string& v, ClientOptions& o, std::string&) {
             char* end = nullptr;
             const unsigned long vid = strtoul(v.c_str(), &end, 16);
             o.vendorId = uint16_t(vid);
             return !v.empty() && *end == '\0' && vid <= 0xFFFF;
         }},
    };
    return options;
}

bool CheckCombination(const ClientOptions& options, std::string& error)
{
    if (options.list)
        return true;
    if (!options.device)
        error = "give --list, or --device with --out";
    else if (options.outputFolder.empty())
        error = "--out is required for a scan";
    else if (!options.netAddresses.empty())
        error = "--net belongs to --list; scan a network scanner with --device net:ADDRESS";
    return error.empty();
}

} // namespace

bool ParseClientOptions(const std::vector<std::string>& args, ClientOptions& options, std::string& error)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--help" || option == "-h" || option == "--version") {
            (option == "--version" ? options.version : options.help) = true;
            return true;
        }
        if (option == "--list" || option == "--quiet") {
            (option == "--list" ? options.list : options.quiet) = true;
            continue;
        }
        const auto setter = ValueOptions().find(option);
        if (setter == ValueOptions().end()) {
            error = "unknown option " + option;
            return false;
        }
        std::string problem;
        if (i + 1 >= args.size() || !setter->second(args[++i], options, problem)) {
            error = problem.empty() ? "bad or missing value for " + option : problem;
            return false;
        }
    }
    return CheckCombination(options, error);
}
