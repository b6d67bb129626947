// The control channel is shared by the USB emulators and lives with their core;
// programs that build its client from this place still get it.
#include "../../usbcore/control/controlsocket.cpp"
