// SIGINT and SIGTERM as the program's stop request. BlockStopSignals() must run before
// any other thread starts, so that only WaitForStop() ever takes them.
#pragma once

void BlockStopSignals();
// Returns when a stop signal arrives or, with seconds > 0, when that time has passed.
void WaitForStop(double seconds);
