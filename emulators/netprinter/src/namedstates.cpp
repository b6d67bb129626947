#include "ovraemu/namedstates.h"

namespace ovraemu {

namespace {

constexpr uint16_t kErrorTrayNoPaper = 0x11A0;
constexpr uint16_t kErrorPaperJam = 0x11B0;
constexpr uint16_t kErrorFrontCoverOpen = 0x1106;
constexpr uint16_t kWarningTonerLow = 0x110D;

NamedState Printer(const char* name, uint8_t statusCode, std::vector<uint16_t> errors = {},
                   std::vector<uint16_t> warnings = {})
{
    NamedState state;
    state.name = name;
    state.statusCode = statusCode;
    state.errors = std::move(errors);
    state.warnings = std::move(warnings);
    return state;
}

NamedState Replies(const char* name, NetReplyMode mode)
{
    NamedState state;
    state.name = name;
    state.mode = mode;
    return state;
}

} // namespace

const std::vector<NamedState>& NamedStates()
{
    static const std::vector<NamedState> states = {
        Printer("ready", 0x00),
        Printer("init", 0x01),
        Printer("busy", 0x02),
        Printer("cancelling", 0x03),
        Printer("printing", 0x10),
        Printer("scanning", 0x11),
        Printer("copying", 0x12),
        Printer("report", 0x13),
        Printer("paper-out", 0x00, {kErrorTrayNoPaper}),
        Printer("paper-jam", 0x00, {kErrorPaperJam}),
        Printer("cover-open", 0x00, {kErrorFrontCoverOpen}),
        Printer("toner-low", 0x00, {}, {kWarningTonerLow}),
        Replies("silent", NetReplyMode::Silent),
        Replies("short", NetReplyMode::Short),
        Replies("garbage", NetReplyMode::Garbage),
    };
    return states;
}

const NamedState* FindNamedState(const std::string& name)
{
    for (const NamedState& state : NamedStates()) {
        if (state.name == name)
            return &state;
    }
    return nullptr;
}

std::string NamedStateList()
{
    std::string list;
    for (const NamedState& state : NamedStates()) {
        if (!list.empty())
            list += ", ";
        list += state.name;
    }
    return list;
}

} // namespace ovraemu
