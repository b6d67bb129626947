#include "commandinterpreter.h"

#include "commandwords.h"
#include "hexbytes.h"

#include <cstdio>
#include <stdexcept>

namespace ovraemu {
namespace {

// A decimal count of bytes or transfers.
std::optional<size_t> ParseCount(const std::string& text)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 12)
        return std::nullopt;
    return static_cast<size_t>(std::stoull(text));
}

std::string FormatRequest(const ControlRequest& r)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02X:%02X:%04X:%04X:%04X", r.requestType, r.request, r.value, r.index, r.length);
    return text;
}

// Commands that name a printer, with the number of words after the id.
struct PrinterCommand {
    const char* name;
    size_t arguments;
};
const PrinterCommand kPrinterCommands[] = {
    {"status", 1},   {"reply", 2},   {"bulkreply", 1}, {"fault", 1},     {"unplug", 0},
    {"requests", 0}, {"count", 1},   {"bulkout", 0},   {"bulksize", 0},  {"detached", 0},
    {"devnode", 0},  {"failout", 2}, {"shortout", 1},  {"transfers", 0},
};

const PrinterCommand* FindPrinterCommand(const std::string& name)
{
    for (const PrinterCommand& command : kPrinterCommands) {
        if (name == command.name)
            return &command;
    }
    return nullptr;
}

} // namespace

std::optional<UsbPrinterConfig> ParsePrinterArgument(const std::string& text)
{
    const size_t first = text.find(':');
    if (first == std::string::npos)
        return std::nullopt;
    const size_t second = text.find(':', first + 1);
    const size_t productLength = second == std::string::npos ? std::string::npos : second - first - 1;
    const auto vendor = ParseHexNumber(text.substr(0, first), 0xFFFF);
    const auto product = ParseHexNumber(text.substr(first + 1, productLength), 0xFFFF);
    if (!vendor || !product)
        return std::nullopt;
    UsbPrinterConfig config;
    config.vendorId = static_cast<uint16_t>(*vendor);
    config.productId = static_cast<uint16_t>(*product);
    config.hasSerial = second != std::string::npos;
    if (config.hasSerial)
        config.serial = text.substr(second + 1);
    return config;
}

std::optional<UsbFault> ParseFault(const std::string& name)
{
    if (name == "stall-control")
        return UsbFault::StallControl;
    if (name == "hold-control")
        return UsbFault::HoldControl;
    return ParseDeviceFault(name);
}

std::string CommandInterpreter::RunDeviceCommand(const Words& words)
{
    const std::string& name = words[0];
    const PrinterCommand* command = FindPrinterCommand(name);
    if (!command)
        return Error("unknown command " + name);
    if (words.size() != command->arguments + 2)
        return Error("wrong number of arguments for " + name);
    const auto id = ParseId(words[1]);
    if (!id)
        return Error("bad printer id " + words[1]);

    if (name == "status")
        return SetReply(*id, "33", words[2]);
    if (name == "reply")
        return SetReply(*id, words[2], words[3]);
    if (name == "bulkreply")
        return SetBulkReply(*id, words[2]);
    if (name == "fault")
        return SetFault(*id, words[2]);
    if (name == "unplug") {
        bed_.Unplug(*id);
        return kOk;
    }
    if (name == "requests")
        return Requests(*id);
    if (name == "count") {
        const auto request = ParseHexNumber(words[2], 0xFF);
        if (!request)
            return Error("bad request code " + words[2]);
        return kOk + " " + std::to_string(bed_.CountRequests(*id, static_cast<uint8_t>(*request)));
    }
    if (name == "bulkout")
        return kOk + " " + ToHex(bed_.BulkOutData(*id));
    if (name == "bulksize")
        return kOk + " " + std::to_string(bed_.BulkOutData(*id).size());
    if (name == "detached")
        return kOk + (bed_.KernelDriverDetached(*id) ? " 1" : " 0");
    if (name == "failout")
        return FailBulkOut(*id, words[2], words[3]);
    if (name == "shortout")
        return ShortenBulkOut(*id, words[2]);
    if (name == "transfers")
        return Transfers(*id);
    return kOk + " " + bed_.DevNode(*id); // devnode
}

std::string CommandInterpreter::Add(const Words& words)
{
    if (words.size() != 3 && words.size() != 4)
        return Error("usage: add VID PID [SERIAL]");
    const std::string argument = words[1] + ":" + words[2] + (words.size() == 4 ? ":" + words[3] : "");
    const auto config = ParsePrinterArgument(argument);
    if (!config)
        return Error("bad vendor or product id");
    return kOk + " " + std::to_string(bed_.AddPrinter(*config));
}

std::string CommandInterpreter::SetReply(int id, const std::string& request, const std::string& hex)
{
    const auto code = ParseHexNumber(request, 0xFF);
    const auto bytes = ParseHex(hex == "-" ? "" : hex);
    if (!code || !bytes)
        return Error("bad request code or reply bytes");
    bed_.SetControlReply(id, static_cast<uint8_t>(*code), *bytes);
    return kOk;
}

// The same reply answers every bulk request; "none" lets reads time out.
std::string CommandInterpreter::SetBulkReply(int id, const std::string& reply)
{
    if (reply == "none") {
        bed_.SetBulkHandler(id, [](const std::vector<uint8_t>&) { return BulkReply(); });
        return kOk;
    }
    const auto bytes = ParseHex(reply == "-" ? "" : reply);
    if (!bytes)
        return Error("bad reply bytes");
    const std::vector<uint8_t> fixed = *bytes;
    bed_.SetBulkHandler(id, [fixed](const std::vector<uint8_t>&) { return BulkReply(fixed); });
    return kOk;
}

std::string CommandInterpreter::SetFault(int id, const std::string& name)
{
    const auto fault = ParseFault(name);
    if (!fault)
        return Error("unknown fault " + name);
    bed_.SetFault(id, *fault);
    return kOk;
}

// "always" or a number of transfers, then the bytes taken before each stalls.
std::string CommandInterpreter::FailBulkOut(int id, const std::string& count, const std::string& after)
{
    const auto transfers = count == "always" ? std::optional<size_t>(0) : ParseCount(count);
    const auto bytes = ParseCount(after);
    if (!transfers || !bytes || *transfers > 1000000)
        return Error("usage: failout ID COUNT|always AFTER_BYTES");
    bed_.FailBulkOut(id, count == "always" ? kEveryTransfer : static_cast<int>(*transfers), *bytes);
    return kOk;
}

// A byte limit per transfer, or "none".
std::string CommandInterpreter::ShortenBulkOut(int id, const std::string& limit)
{
    if (limit == "none") {
        bed_.ShortenBulkOut(id, std::nullopt);
        return kOk;
    }
    const auto bytes = ParseCount(limit);
    if (!bytes)
        return Error("usage: shortout ID BYTES|none");
    bed_.ShortenBulkOut(id, *bytes);
    return kOk;
}

std::string CommandInterpreter::Transfers(int id) const
{
    std::string reply = kOk;
    for (const std::vector<uint8_t>& transfer : bed_.BulkOutTransfers(id))
        reply += " " + std::to_string(transfer.size());
    return reply;
}

std::string CommandInterpreter::Requests(int id) const
{
    std::string reply = kOk;
    for (const ControlRequest& request : bed_.ControlRequests(id))
        reply += " " + FormatRequest(request);
    return reply;
}

} // namespace ovraemu
