#include "latencyoptions.h"

#include <functional>
#include <map>
#include <sstream>

namespace ovrabench {

const char* const kLatencyUsage =
    "usage: ovra-bench-statuslatency --cfg DIR --tray-log DIR\n"
    "           [--usb-socket PATH --usb-printer ID=QUEUE] [--net-printer ADDRESS=QUEUE] [options]\n"
    "  Changes the state of an emulated USB printer and of a network printer (served here)\n"
    "  again and again and times each change to its status file rewrite (DIR cfg/) and to\n"
    "  the tray monitor showing it (its debug log in the tray's log folder).\n"
    "  --changes N          changes per printer (default 20)\n"
    "  --usb-states A,B,..  the USB printer's cycle (default ready,printing,busy,scanning,copying)\n"
    "  --net-states A,B,..  the network printer's cycle (default busy,scanning,copying,init,report:\n"
    "                       a network printer in \"ready\" is not polled while its queue is idle)\n"
    "  --timeout SECONDS    longest wait for each sighting (default 40)\n"
    "  --pause-ms N         random pause of 0..N ms before each change (default 2000)\n"
    "  --settle SECONDS     longest wait for the first state to show (default 90)\n"
    "  --csv FILE           every change: kind,state,file_ms,tray_ms\n";

namespace {

std::vector<std::string> SplitList(const std::string& text)
{
    std::vector<std::string> items;
    std::stringstream stream(text);
    for (std::string item; std::getline(stream, item, ',');)
        items.push_back(item);
    return items;
}

// "LEFT=RIGHT" into its halves.
bool SplitPair(const std::string& text, std::string& left, std::string& right)
{
    const size_t equals = text.find('=');
    if (equals == std::string::npos)
        return false;
    left = text.substr(0, equals);
    right = text.substr(equals + 1);
    return !left.empty() && !right.empty();
}

using Setter = std::function<bool(LatencyOptions&, const std::string&)>;

const std::map<std::string, Setter>& Setters()
{
    static const std::map<std::string, Setter> setters = {
        {"--cfg",
         [](LatencyOptions& o, const std::string& v) {
             o.statusFolder = v;
             return true;
         }},
        {"--tray-log",
         [](LatencyOptions& o, const std::string& v) {
             o.trayLogFolder = v;
             return true;
         }},
        {"--usb-socket",
         [](LatencyOptions& o, const std::string& v) {
             o.usbSocket = v;
             return true;
         }},
        {"--usb-printer",
         [](LatencyOptions& o, const std::string& v) { return SplitPair(v, o.usbPrinterId, o.usb.queue); }},
        {"--net-printer",
         [](LatencyOptions& o, const std::string& v) { return SplitPair(v, o.netAddress, o.net.queue); }},
        {"--changes",
         [](LatencyOptions& o, const std::string& v) {
             o.usb.changes = o.net.changes = std::stoi(v);
             return true;
         }},
        {"--usb-states",
         [](LatencyOptions& o, const std::string& v) {
             o.usb.states = SplitList(v);
             return true;
         }},
        {"--net-states",
         [](LatencyOptions& o, const std::string& v) {
             o.net.states = SplitList(v);
             return true;
         }},
        {"--timeout",
         [](LatencyOptions& o, const std::string& v) {
             o.usb.timeoutMs = o.net.timeoutMs = std::stod(v) * 1000;
             return true;
         }},
        {"--pause-ms",
         [](LatencyOptions& o, const std::string& v) {
             o.usb.pauseMaxMs = o.net.pauseMaxMs = std::stoi(v);
             return true;
         }},
        {"--settle",
         [](LatencyOptions& o, const std::string& v) {
             o.usb.settleMs = o.net.settleMs = std::stod(v) * 1000;
             return true;
         }},
        {"--csv",
         [](LatencyOptions& o, const std::string& v) {
             o.csvFile = v;
             return true;
         }},
    };
    return setters;
}

} // namespace

bool ParseLatencyOptions(const std::vector<std::string>& args, LatencyOptions& options, std::string& error)
{
    options.usb.states = {"ready", "printing", "busy", "scanning", "copying"};
    options.net.states = {"busy", "scanning", "copying", "init", "report"};
    try {
        for (size_t i = 0; i < args.size(); i += 2) {
            const auto setter = Setters().find(args[i]);
            if (setter == Setters().end() || i + 1 >= args.size() || !setter->second(options, args[i + 1])) {
                error = "bad option: " + args[i];
                return false;
            }
        }
    } catch (const std::exception&) {
        error = "bad number in the options";
        return false;
    }
    if (options.statusFolder.empty() || options.trayLogFolder.empty()) {
        error = "--cfg and --tray-log are required";
        return false;
    }
    if (options.usb.states.size() < 2 || options.net.states.size() < 2) {
        error = "a state cycle needs two states at least";
        return false;
    }
    return true;
}

} // namespace ovrabench
