#include "emuoptions.h"

#include <map>
#include <vector>

namespace {

// "--name value" and "--name=value" alike; false when the value is missing.
bool TakeValue(const std::vector<std::string>& args, size_t* i, const std::string& inlineValue, bool hasInline,
               std::string* value)
{
    if (hasInline) {
        *value = inlineValue;
        return true;
    }
    if (*i + 1 >= args.size())
        return false;
    *value = args[++*i];
    return true;
}

} // namespace

bool ParseEmuOptions(int argc, char** argv, EmuOptions* options, std::string* error)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const std::map<std::string, std::string*> valued = {
        {"--address", &options->address}, {"--scenario", &options->scenarioPath}, {"--state", &options->stateName},
        {"--product", &options->product}, {"--serial", &options->serial},         {"--usb-socket", &options->usbSocket},
        {"--usb-id", &options->usbId},
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const size_t equals = args[i].find('=');
        const std::string name = args[i].substr(0, equals);
        const bool hasInline = equals != std::string::npos;
        const std::string inlineValue = hasInline ? args[i].substr(equals + 1) : std::string();
        if (name == "--loop" && !hasInline) {
            options->loop = true;
        } else if ((name == "--help" || name == "-h" || name == "--version") && !hasInline) {
            (name == "--version" ? options->version : options->help) = true;
            return true;
        } else if (valued.count(name)) {
            if (!TakeValue(args, &i, inlineValue, hasInline, valued.at(name))) {
                *error = name + " needs a value";
                return false;
            }
        } else {
            *error = "unknown option '" + args[i] + "'";
            return false;
        }
    }
    if (options->address.empty() && options->usbSocket.empty()) {
        *error = "--address (or --usb-socket) is required";
        return false;
    }
    return true;
}

std::string EmuUsage()
{
    return "usage: ovra-printer-emu --address 127.0.0.N [--scenario FILE [--loop]] [--state NAME]\n"
           "                        [--product TEXT] [--serial TEXT]\n"
           "Emulates one network printer on UDP port 9300 of a loopback address.\n"
           "  --scenario FILE  play the steps of FILE (\"<seconds> <state> [options]\" a line)\n"
           "  --loop           play the scenario again and again\n"
           "  --state NAME     state without a scenario, or before its first step (default ready)\n"
           "  --usb-socket PATH --usb-id N\n"
           "                   play the states on printer N of ovra-usbprinter-emu (its control socket)\n"
           "  --help, --version  this help, the version\n"
           "Exit status: 0 stopped by SIGINT/SIGTERM, 1 cannot serve the address, 2 bad arguments or scenario.\n";
}
