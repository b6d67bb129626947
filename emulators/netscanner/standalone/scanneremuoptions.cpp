#include "scanneremuoptions.h"

#include <cstdlib>
#include <functional>

using namespace ovraemu;

const char* const kScannerEmuUsage =
    "usage: ovra-scanner-emu --address 127.0.0.N [options]\n"
    "Serves one network scanner of the family (HTTP 80, data 2080, attributes 5000) until\n"
    "SIGINT or SIGTERM, printing one line per event.\n"
    "  --pages N                  pages of a multi-page feeder job (default 1)\n"
    "  --page-bytes N             pages of N bytes of a deterministic pattern instead of the\n"
    "                             test chart drawn at the job's resolution, area and depth\n"
    "  --image FILE...            the image bytes of each page, one file per page\n"
    "  --block-size N             image bytes per data block (default 8192, at most 999999)\n"
    "  --size-fields zero|space   how block sizes are written (default zero)\n"
    "  --first-page-without-newfile  no NEWFILE marker in front of the first page\n"
    "  --feeder loaded|empty|jammed  document feeder state (default loaded)\n"
    "  --busy                     answer every job post with RESULT=91\n"
    "  --post-result N            answer every job post with RESULT=N\n"
    "  --http-status [ROUTE=]N    answer a route with HTTP status N (ROUTE: post, abort,\n"
    "                             capabilities, feeder; default post)\n"
    "  --fault KIND               close-mid-block, short-block or feeder-jam\n"
    "  --fault-page N             page of the fault, from 1 (default 1)\n"
    "  --fault-block N            block of that page, from 1 (default 1)\n"
    "  --fault-bytes N            bytes of the block sent before the fault (default 0)\n"
    "  --attribute-bytes N        pad attribute replies to N bytes\n"
    "  --attribute-parts N        send attribute replies in N parts\n"
    "  --duration SECONDS         stop by itself after that time\n"
    "  --help, --version          this help, the version\n";

namespace {

bool ToNumber(const std::string& text, long minimum, long& value)
{
    char* end = nullptr;
    value = strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && value >= minimum;
}

bool ToFeeder(const std::string& text, FeederState& state)
{
    static const std::map<std::string, FeederState> names = {{"loaded", FeederState::Loaded},
                                                             {"empty", FeederState::Empty},
                                                             {"jammed", FeederState::Jammed}};
    const auto it = names.find(text);
    if (it != names.end())
        state = it->second;
    return it != names.end();
}

bool ToFault(const std::string& text, DataFaultKind& kind)
{
    static const std::map<std::string, DataFaultKind> names = {{"close-mid-block", DataFaultKind::CloseMidBlock},
                                                               {"short-block", DataFaultKind::ShortBlock},
                                                               {"feeder-jam", DataFaultKind::FeederJam}};
    const auto it = names.find(text);
    if (it != names.end())
        kind = it->second;
    return it != names.end();
}

bool ToHttpStatus(const std::string& text, std::map<HttpRoute, int>& statuses)
{
    static const std::map<std::string, HttpRoute> routes = {{"post", HttpRoute::JobPost},
                                                            {"abort", HttpRoute::Abort},
                                                            {"capabilities", HttpRoute::Capabilities},
                                                            {"feeder", HttpRoute::FeederStatus}};
    const size_t equals = text.find('=');
    const std::string routeName = equals == std::string::npos ? "post" : text.substr(0, equals);
    const auto route = routes.find(routeName);
    long status = 0;
    if (route == routes.end() || !ToNumber(text.substr(equals == std::string::npos ? 0 : equals + 1), 100, status)
        || status > 999)
        return false;
    statuses[route->second] = int(status);
    return true;
}

class ArgumentReader
{
public:
    explicit ArgumentReader(const std::vector<std::string>& args) : m_args(args) {}

    bool AtEnd() const { return m_next >= m_args.size(); }
    std::string Take() { return m_args[m_next++]; }
    bool TakeValue(std::string& value)
    {
        if (AtEnd())
            return false;
        value = Take();
        return true;
    }
    // Every following argument up to the next option.
    std::vector<std::string> TakeValues()
    {
        std::vector<std::string> values;
        while (!AtEnd() && m_args[m_next].rfind("--", 0) != 0)
            values.push_back(Take());
        return values;
    }

private:
    const std::vector<std::string>& m_args;
    size_t m_next = 0;
};

using ValueSetter = std::function<bool(const std::string&, ScannerEmuOptions&)>;

ValueSetter NumberInto(long minimum, std::function<void(ScannerEmuOptions&, long)> store)
{
    return [minimum, store](const std::string& text, ScannerEmuOptions& o) {
        long value = 0;
        if (!ToNumber(text, minimum, value))
            return false;
        store(o, value);
        return true;
    };
}

const std::map<std::string, ValueSetter>& ValueOptions()
{
    static const std::map<std::string, ValueSetter> options = {
        {"--address",
         [](const std::string& v, ScannerEmuOptions& o) {
             o.address = v;
             return !v.empty();
         }},
        {"--pages", NumberInto(0, [](ScannerEmuOptions& o, long v) { o.job.pages = int(v); })},
        {"--page-bytes", NumberInto(0, [](ScannerEmuOptions& o, long v) { o.job.pageBytes = size_t(v); })},
        {"--block-size", NumberInto(1, [](ScannerEmuOptions& o, long v) { o.job.blockSize = size_t(v); })},
        {"--size-fields",
         [](const std::string& v, ScannerEmuOptions& o) {
             o.job.sizeFields = v == "space" ? SizeFieldStyle::SpacePadded : SizeFieldStyle::ZeroPadded;
             return v == "space" || v == "zero";
         }},
        {"--feeder", [](const std::string& v, ScannerEmuOptions& o) { return ToFeeder(v, o.feeder); }},
        {"--post-result", NumberInto(0, [](ScannerEmuOptions& o, long v) { o.postResult = int(v); })},
        {"--http-status", [](const std::string& v, ScannerEmuOptions& o) { return ToHttpStatus(v, o.httpStatus); }},
        {"--fault", [](const std::string& v, ScannerEmuOptions& o) { return ToFault(v, o.job.fault.kind); }},
        {"--fault-page", NumberInto(1, [](ScannerEmuOptions& o, long v) { o.job.fault.page = int(v - 1); })},
        {"--fault-block", NumberInto(1, [](ScannerEmuOptions& o, long v) { o.job.fault.block = int(v - 1); })},
        {"--fault-bytes", NumberInto(0, [](ScannerEmuOptions& o, long v) { o.job.fault.deliveredBytes = size_t(v); })},
        {"--attribute-bytes", NumberInto(0, [](ScannerEmuOptions& o, long v) { o.attributeBytes = size_t(v); })},
        {"--attribute-parts", NumberInto(1, [](ScannerEmuOptions& o, long v) { o.attributeParts = int(v); })},
        {"--duration",
         [](const std::string& v, ScannerEmuOptions& o) {
             char* end = nullptr;
             o.durationSeconds = strtod(v.c_str(), &end);
             return !v.empty() && *end == '\0' && o.durationSeconds >= 0;
         }},
    };
    return options;
}

} // namespace

bool ParseScannerEmuOptions(const std::vector<std::string>& args, ScannerEmuOptions& options, std::string& error)
{
    ArgumentReader reader(args);
    while (!reader.AtEnd()) {
        const std::string option = reader.Take();
        if (option == "--help" || option == "-h" || option == "--version") {
            (option == "--version" ? options.version : options.help) = true;
            return true;
        }
        if (option == "--busy") {
            options.postResult = kPostResultDeviceBusy;
        } else if (option == "--first-page-without-newfile") {
            options.job.firstPageWithoutNewFile = true;
        } else if (option == "--image") {
            const std::vector<std::string> files = reader.TakeValues();
            if (files.empty()) {
                error = "--image needs at least one file";
                return false;
            }
            options.imageFiles.insert(options.imageFiles.end(), files.begin(), files.end());
        } else if (const auto setter = ValueOptions().find(option); setter != ValueOptions().end()) {
            std::string value;
            if (!reader.TakeValue(value) || !setter->second(value, options)) {
                error = "bad or missing value for " + option;
                return false;
            }
        } else {
            error = "unknown option " + option;
            return false;
        }
    }
    if (options.address.empty()) {
        error = "--address is required";
        return false;
    }
    return true;
}
