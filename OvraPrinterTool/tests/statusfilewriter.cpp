// Writes a status file as the print service would, for the desktop test:
//   statusfilewriter FILE STATUS TONER [e:CODE]... [w:CODE]...   (codes in hex)
#include "printerstatebuilder.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: statusfilewriter FILE STATUS TONER [e:CODE]... [w:CODE]...\n");
        return 2;
    }
    ovraemu::EmuPrinterState state;
    state.product = "Ovra P2200DN";
    state.statusCode = uint8_t(std::strtoul(argv[2], nullptr, 16));
    state.SetCounter(0x1000, uint32_t(std::strtoul(argv[3], nullptr, 10)));
    for (int i = 4; i < argc; ++i) {
        const std::string arg = argv[i];
        const uint16_t code = uint16_t(std::strtoul(arg.c_str() + 2, nullptr, 16));
        (arg.rfind("e:", 0) == 0 ? state.errors : state.warnings).push_back(code);
    }
    std::vector<uint8_t> bytes(7, 0);
    const std::vector<uint8_t> body = ovraemu::BuildStatusBody(state);
    bytes.insert(bytes.end(), body.begin(), body.end());
    const std::string tmp = std::string(argv[1]) + ".new";
    FILE* file = std::fopen(tmp.c_str(), "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0)
        return 1;
    return std::rename(tmp.c_str(), argv[1]) == 0 ? 0 : 1;
}
