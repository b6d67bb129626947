#include "ovrainstallroot.h"

#include <cstdlib>

namespace {

const char c_szDefaultInstallRoot[] = "/opt/ovra/ovra-printer-k246/";
const char c_szDefaultCupsServerRoot[] = "/etc/cups/";

std::string FolderFromEnv(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    std::string folder = (value && *value) ? value : fallback;
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace

std::string ovra_install_root() { return FolderFromEnv("OVRA_INSTALL_ROOT", c_szDefaultInstallRoot); }

std::string ovra_install_path(const std::string& relative) { return ovra_install_root() + relative; }

std::string ovra_cups_server_root() { return FolderFromEnv("CUPS_SERVERROOT", c_szDefaultCupsServerRoot); }
