// Where the suite lives. Plain C++ so that the scan daemon can share it.
#pragma once

#include <string>

// The install root, always ending in '/'. "/opt/ovra/ovra-printer-k246/" unless the
// environment variable OVRA_INSTALL_ROOT names another folder (tests, the demo).
std::string ovra_install_root();

// The install root joined with a relative path ("cfg/", "scan/ovra_scan_info.log").
std::string ovra_install_path(const std::string& relative);

// The CUPS configuration folder, always ending in '/': "/etc/cups/" unless
// CUPS_SERVERROOT names another one (the CUPS convention).
std::string ovra_cups_server_root();
