#include "scannerwords.h"

#include "hexbytes.h"

#include <cstdio>
#include <utility>

namespace ovraemu {
namespace {

const std::pair<const char*, ScannerCommand> kCommandNames[] = {
    {"start", ScannerCommand::Start},   {"properties", ScannerCommand::Properties},
    {"adf", ScannerCommand::AdfStatus}, {"lock", ScannerCommand::Lock},
    {"unlock", ScannerCommand::Unlock}, {"sizes", ScannerCommand::GetScanSizes},
    {"abort", ScannerCommand::Abort},   {"poweron", ScannerCommand::PowerOn},
};

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1)
        parts.push_back(text.substr(start, end - start));
    parts.push_back(text.substr(start));
    return parts;
}

std::optional<unsigned> Decimal(const std::string& text, unsigned max)
{
    try {
        size_t used = 0;
        const unsigned long value = std::stoul(text, &used);
        if (used == text.size() && value <= max && text[0] != '-')
            return static_cast<unsigned>(value);
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

// Applies one word of a respond command; false when it is not understood.
bool ApplyResponseWord(const std::string& word, ScriptedResponse& response, int& times)
{
    if (word == "silent") {
        response.silent = true;
        return true;
    }
    const size_t equals = word.find('=');
    if (equals == std::string::npos)
        return false;
    const std::string key = word.substr(0, equals);
    const std::string value = word.substr(equals + 1);
    if (key == "stray" && (value == "record" || value == "abort")) {
        response.before.push_back(value == "record" ? EncodeRecordHeader(0, kRecordFieldsSize, 0, 0)
                                                    : EncodeDeviceAbort());
        return true;
    }
    if (key == "payload") {
        const auto bytes = ParseHex(value == "-" ? "" : value);
        if (bytes)
            response.payload = *bytes;
        return bytes.has_value();
    }
    const auto number = Decimal(value, key == "reserved" ? 0xFF : 0xFFFF);
    if (!number)
        return false;
    if (key == "times")
        times = static_cast<int>(*number);
    else if (key == "datasize")
        response.dataSize = static_cast<uint16_t>(*number);
    else if (key == "reserved")
        response.reserved = static_cast<uint8_t>(*number);
    else
        return false;
    return true;
}

} // namespace

std::optional<UsbScannerConfig> ParseScannerArgument(const std::string& text)
{
    const std::vector<std::string> parts = Split(text, ':');
    if (parts.size() < 2 || parts.size() > 5)
        return std::nullopt;
    const auto vendor = ParseHexNumber(parts[0], 0xFFFF);
    const auto product = ParseHexNumber(parts[1], 0xFFFF);
    if (!vendor || !product)
        return std::nullopt;
    UsbScannerConfig config;
    config.vendorId = static_cast<uint16_t>(*vendor);
    config.productId = static_cast<uint16_t>(*product);
    config.hasSerial = parts.size() >= 3;
    if (config.hasSerial)
        config.serial = parts[2];
    if (parts.size() >= 4)
        config.manufacturer = parts[3];
    if (parts.size() == 5)
        config.product = parts[4];
    return config;
}

std::optional<ScannerCommand> ParseCommandName(const std::string& name)
{
    for (const auto& [text, command] : kCommandNames) {
        if (name == text)
            return command;
    }
    const auto code = name.size() == 4 ? ParseHexNumber(name, 0xFFFF) : std::nullopt;
    if (code)
        return static_cast<ScannerCommand>(*code);
    return std::nullopt;
}

std::optional<AdfStatus> ParseFeeder(const std::string& name)
{
    if (name == "empty")
        return AdfStatus::Empty;
    if (name == "loaded")
        return AdfStatus::Loaded;
    if (name == "jam")
        return AdfStatus::PaperJam;
    return std::nullopt;
}

std::optional<UsbFault> ParseFault(const std::string& name) { return ParseDeviceFault(name); }

std::optional<bool> ParseSwitch(const std::string& text)
{
    if (text == "0" || text == "1")
        return text == "1";
    return std::nullopt;
}

std::optional<ScriptedResponse> ParseResponseWords(uint8_t flag, const std::vector<std::string>& words, int& times,
                                                   std::string& error)
{
    ScriptedResponse response;
    response.flag = flag;
    times = 1;
    for (const std::string& word : words) {
        if (!ApplyResponseWord(word, response, times)) {
            error = "bad response word " + word;
            return std::nullopt;
        }
    }
    return response;
}

std::string FormatCommand(const ReceivedCommand& command)
{
    if (!command.valid)
        return "garbage:" + ToHex(command.payload);
    const ScanHeader& h = command.header;
    char text[32];
    std::snprintf(text, sizeof text, "%02X%02X%02X:%u:%02X", h.start, h.commandClass, h.code, h.dataSize, h.flags);
    return text;
}

} // namespace ovraemu
