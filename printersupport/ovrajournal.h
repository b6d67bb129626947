// What an administrator must see, one line on standard error: a service's start and stop,
// a start that failed, printers found and lost, an error that ends a program or a scan.
// Under systemd standard error is the journal; a detached daemon has it on /dev/null. The
// line goes to no log file, whatever the log switch. Plain C++: the scan daemon uses it too.
#pragma once

void OvraJournalLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
