// The line commands that steer a running scanner emulator (see README.md).
// Every command gets a one-line reply that starts with "ok" or "error".
#pragma once

#include "commandwords.h"
#include "ovraemu/usbscannerbed.h"

#include <string>
#include <vector>

namespace ovraemu {

class ScannerCommandInterpreter : public TestbedInterpreter
{
public:
    explicit ScannerCommandInterpreter(UsbScannerBed& bed) : bed_(bed) {}

    std::string RootDir() const override { return bed_.RootDir(); }

private:
    std::string Add(const Words& words) override;
    std::string RunDeviceCommand(const Words& words) override;
    std::string RunForScanner(int id, const Words& words);
    std::string SetJob(int id, const Words& words);
    std::string Steps(int id) const;
    std::string WritePage(int id, const std::string& page, const std::string& path) const;
    std::string Respond(int id, const Words& words);
    std::string Toggle(int id, const std::string& name, const Words& words);
    std::string Commands(int id) const;
    std::string Events(int id) const;
    std::string Lock(int id) const;
    std::string Progress(int id) const;

    UsbScannerBed& bed_;
};

} // namespace ovraemu
