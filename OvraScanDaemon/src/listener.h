// The server loop: the listener on the loopback address and one connection
// process per accepted client.
#pragma once

// Opens the logs, listens and forks a connection process for every client.
// Returns 0 in the listener once SIGQUIT has cleared the keep-running flag;
// connection and data processes never return from it (they end with _exit).
// Bind and listen failures end the program with status 1.
long mainProc();
