// The daemon's limits, and test and debug knobs read from the environment. The
// daemon itself has no configuration; the knobs exist so that test programs can
// run it beside other tests, watch it from the shell that started it, and reach
// its limits without waiting minutes or writing gigabytes:
//   OVRA_SCAN_DAEMON_PORT=<n>          listen on port n instead of 7001
//   OVRA_SCAN_DAEMON_FOREGROUND=1      stay in the foreground: no double fork, the
//                                      terminal and working directory are kept
//   OVRA_SCAN_DAEMON_IDLE_SECONDS=<n>  idle time-out of a connection
//   OVRA_SCAN_DAEMON_RECORD_WAIT_SECONDS=<n>  wait for a USB scan record
//   OVRA_SCAN_DAEMON_PAGE_LIMIT=<n>    largest page file, in bytes
#pragma once

#include <cstdint>

// Connection processes at once; a connection beyond them is closed at once.
constexpr int c_iMaxConnections = 128;
// A connection that sends nothing for this long while no scan of it runs is
// closed. Clients wait far less between commands (a USB scanner's warm-up, at
// most 255 s, passes while the scan runs).
constexpr int c_iIdleSeconds = 600;
// How long a USB scanner may take for its next scan record; the first record of
// a scan may come later by the warm-up time that the scanner reported.
constexpr int c_iRecordWaitSeconds = 30;
// A page file past this size ends the scan with an I/O error. A3 in colour at
// 1200 dpi, uncompressed, is about 800 MiB.
constexpr int64_t c_llPageFileLimit = int64_t(2) << 30;

uint16_t daemonListenPort();
bool daemonStaysInForeground();
int daemonIdleSeconds();
int daemonRecordWaitSeconds();
int64_t daemonPageFileLimit();
