// The control channel is shared by the USB emulators and lives with their core;
// this header keeps it reachable from its former place.
#pragma once

#include "../../usbcore/control/controlsocket.h"
