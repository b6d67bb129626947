// Test and debug knobs of the daemon, read from the environment. The daemon
// itself has no configuration; these exist so that test programs can run it
// beside other tests and watch it from the shell that started it:
//   OVRA_SCAN_DAEMON_PORT=<n>      listen on port n instead of 7001
//   OVRA_SCAN_DAEMON_FOREGROUND=1  stay in the foreground: no double fork, the
//                                  terminal and working directory are kept
#pragma once

#include <cstdint>

uint16_t daemonListenPort();
bool daemonStaysInForeground();
