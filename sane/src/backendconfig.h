// The backend's configuration file "ovra.conf": network scanners by address and the
// scan daemon's port.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ovrasane {

struct BackendConfig {
    std::vector<std::string> netAddresses;
    uint16_t daemonPort = 0; // 0: the client library's choice (OVRA_SCAN_DAEMON_PORT or 7001)
};

// Parses the text of a configuration file; unknown lines go to `problems`.
BackendConfig ParseConfig(const std::string& text, std::vector<std::string>* problems = nullptr);

// Reads "ovra.conf" from the folders of SANE_CONFIG_DIR (colon-separated; a trailing
// colon adds the default folders) or from "." and /etc/sane.d; an empty configuration
// when there is none. Lines it does not understand go to `problems`.
BackendConfig LoadConfig(std::vector<std::string>* problems = nullptr);

} // namespace ovrasane
