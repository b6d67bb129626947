// ovra-printer-emu: one emulated network printer, for the demo and for end-to-end tests.
#include "emuoptions.h"
#include "stopsignals.h"

#include "ovraemu/netprinter.h"
#include "ovraemu/netscenario.h"
#include "ovraemu/scenarioplayer.h"
#include "ovracli.h"

#include "controlsocket.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

namespace {

constexpr int kExitCannotServe = 1;
constexpr int kExitBadInput = 2;

int Fail(int code, const std::string& message)
{
    std::fprintf(stderr, "ovra-printer-emu: %s\n", message.c_str());
    return code;
}

ovraemu::EmuPrinterState InitialPrinterState(const EmuOptions& options)
{
    ovraemu::EmuPrinterState state;
    state.product = options.product;
    state.serial = options.serial.empty() ? "EMU-" + options.address : options.serial;
    state.SetCounter(ovraemu::kTonerTag, 100 * ovraemu::kTonerPerPercent);
    return state;
}

// The scenario file, or a single step for --state; its first step is at time 0.
bool BuildScenario(const EmuOptions& options, const ovraemu::NamedState& start, ovraemu::Scenario* scenario,
                   std::string* error)
{
    if (!options.scenarioPath.empty()) {
        ovraemu::ScenarioError parseError;
        if (!ovraemu::LoadScenarioFile(options.scenarioPath, scenario, &parseError)) {
            *error = options.scenarioPath + ":" + (parseError.line > 0 ? std::to_string(parseError.line) + ":" : "")
                     + " " + parseError.message;
            return false;
        }
    }
    ovraemu::EnsureStartStep(scenario, start);
    return true;
}

// Waits until a time since now (seconds), or for good on infinity; false when stopped.
std::function<bool(double)> WaitHook(StopSignals& signals)
{
    const auto start = std::chrono::steady_clock::now();
    return [&signals, start](double seconds) {
        if (std::isinf(seconds)) {
            signals.WaitForStop();
            return false;
        }
        const auto offset = std::chrono::duration<double>(seconds);
        return signals.WaitUntil(start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(offset));
    };
}

ovraemu::ScenarioPlayerHooks PlayerHooks(ovraemu::NetPrinter& printer, StopSignals& signals)
{
    ovraemu::ScenarioPlayerHooks hooks;
    hooks.waitUntil = WaitHook(signals);
    hooks.apply = [&printer](const ovraemu::EmuPrinterState& state, ovraemu::NetReplyMode mode) {
        printer.SetState(state);
        printer.SetReplyMode(mode);
    };
    hooks.report = [](const std::string& line) { std::printf("%s\n", line.c_str()); };
    return hooks;
}

// The same scenario on an emulated USB printer: every state becomes its status reply.
int PlayOnUsbPrinter(const EmuOptions& options, const ovraemu::Scenario& scenario, StopSignals& signals)
{
    ovraemu::EmuPrinterState state = InitialPrinterState(options);
    ovraemu::ScenarioPlayerHooks hooks;
    hooks.waitUntil = WaitHook(signals);
    bool bReached = true;
    hooks.apply = [&](const ovraemu::EmuPrinterState& next, ovraemu::NetReplyMode) {
        static const char hex[] = "0123456789abcdef";
        std::string text;
        for (uint8_t byte : ovraemu::BuildStatusBody(next)) {
            text += hex[byte >> 4];
            text += hex[byte & 15];
        }
        bReached = ovraemu::SendControlCommand(options.usbSocket, "status " + options.usbId + " " + text).has_value();
    };
    hooks.report = [](const std::string& line) { std::printf("%s\n", line.c_str()); };
    ovraemu::PlayScenario(scenario, options.loop, state, "usb:" + options.usbId, hooks);
    return bReached ? 0 : Fail(kExitCannotServe, "the USB emulator at " + options.usbSocket + " does not answer");
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    EmuOptions options;
    std::string error;
    if (!ParseEmuOptions(argc, argv, &options, &error))
        return Fail(kExitBadInput, error + "\n" + EmuUsage());
    if (options.help) {
        std::printf("%s", EmuUsage().c_str());
        return 0;
    }
    if (options.version) {
        PrintOvraVersion("ovra-printer-emu");
        return en_Exit_Ok;
    }
    const ovraemu::NamedState* start = ovraemu::FindNamedState(options.stateName);
    if (!start)
        return Fail(kExitBadInput,
                    "unknown state '" + options.stateName + "' (known: " + ovraemu::NamedStateList() + ")");
    ovraemu::Scenario scenario;
    if (!BuildScenario(options, *start, &scenario, &error))
        return Fail(kExitBadInput, error);

    StopSignals signals; // before the printer's thread starts
    if (!options.usbSocket.empty())
        return PlayOnUsbPrinter(options, scenario, signals);
    ovraemu::NetPrinter printer(options.address, InitialPrinterState(options));
    if (!printer.Start(&error))
        return Fail(kExitCannotServe, error);
    ovraemu::PlayScenario(scenario, options.loop, printer.State(), options.address, PlayerHooks(printer, signals));
    printer.Stop();
    return 0;
}
