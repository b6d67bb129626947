// The line commands that steer a running emulator (see README.md). Every
// command gets a one-line reply that starts with "ok" or "error".
#pragma once

#include "commandwords.h"
#include "ovraemu/usbprinterbed.h"

#include <optional>
#include <string>
#include <vector>

namespace ovraemu {

class CommandInterpreter : public TestbedInterpreter
{
public:
    explicit CommandInterpreter(UsbPrinterBed& bed) : bed_(bed) {}

    std::string RootDir() const override { return bed_.RootDir(); }

private:
    std::string Add(const Words& words) override;
    std::string RunDeviceCommand(const Words& words) override;
    std::string SetReply(int id, const std::string& request, const std::string& hex);
    std::string SetBulkReply(int id, const std::string& reply);
    std::string SetFault(int id, const std::string& name);
    std::string FailBulkOut(int id, const std::string& count, const std::string& after);
    std::string ShortenBulkOut(int id, const std::string& limit);
    std::string Transfers(int id) const;
    std::string Requests(int id) const;

    UsbPrinterBed& bed_;
};

// "VID:PID" or "VID:PID:SERIAL", IDs in hexadecimal; no serial means the
// device has no serial number string.
std::optional<UsbPrinterConfig> ParsePrinterArgument(const std::string& text);
std::optional<UsbFault> ParseFault(const std::string& name);

} // namespace ovraemu
