// The connection process: reads commands from one client and executes them.
#pragma once

// Serves the client on clientFd until it disconnects or SIGQUIT arrives, then
// closes the connection. The caller ends the process.
void runConnectionProcess(int clientFd);
