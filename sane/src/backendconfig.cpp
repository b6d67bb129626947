#include "backendconfig.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace ovrasane {

namespace {

std::vector<std::string> ConfigFolders()
{
    const char* env = std::getenv("SANE_CONFIG_DIR");
    std::vector<std::string> folders;
    bool addDefaults = true;
    if (env && *env) {
        std::string list = env;
        addDefaults = list.back() == ':';
        std::stringstream stream(list);
        std::string folder;
        while (std::getline(stream, folder, ':'))
            if (!folder.empty())
                folders.push_back(folder);
    }
    if (addDefaults) {
        folders.push_back(".");
        folders.push_back("/etc/sane.d");
    }
    return folders;
}

bool IsIpv4(const std::string& text)
{
    in_addr address{};
    return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

} // namespace

BackendConfig ParseConfig(const std::string& text, std::vector<std::string>* problems)
{
    BackendConfig config;
    std::stringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        std::stringstream words(line);
        std::string key, value, extra;
        if (!(words >> key))
            continue;
        words >> value;
        const bool single = !(words >> extra);
        if (key == "net" && single && IsIpv4(value)) {
            config.netAddresses.push_back(value);
        } else if (key == "port" && single && !value.empty()
                   && value.find_first_not_of("0123456789") == std::string::npos && value.size() <= 5
                   && std::stoi(value) > 0 && std::stoi(value) < 65536) {
            config.daemonPort = uint16_t(std::stoi(value));
        } else if (problems) {
            problems->push_back(line);
        }
    }
    return config;
}

BackendConfig LoadConfig(std::vector<std::string>* problems)
{
    for (const std::string& folder : ConfigFolders()) {
        std::ifstream file(folder + "/ovra.conf");
        if (!file)
            continue;
        std::stringstream text;
        text << file.rdbuf();
        return ParseConfig(text.str(), problems);
    }
    return BackendConfig();
}

} // namespace ovrasane
