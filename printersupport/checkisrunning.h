// Refuses a second instance: counts the running processes with this program's name.
#pragma once

#include <QString>

// True when another process of this program's name (the application name, cut to the
// 15 characters the process table keeps) is already running: any user's for the print
// service, which lists the processes into temp/pslist.<time>; the same user's for the
// tray monitor, which reads them through a pipe.
bool CheckIsRunning();

// The counting itself, on a process listing in "ps -A" layout.
int CountProcessLines(const QString& strListing, const QString& strName);
