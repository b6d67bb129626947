#include "daemonconfig.h"

#include "ovrascanprotocol.h"

#include <cstdlib>
#include <cstring>

uint16_t daemonListenPort()
{
    const char* value = std::getenv("OVRA_SCAN_DAEMON_PORT");
    if (!value || !*value)
        return OVRA_SCAN_DAEMON_DEFAULT_PORT;
    char* end = nullptr;
    long port = std::strtol(value, &end, 10);
    if (*end != '\0' || port <= 0 || port > 65535)
        return OVRA_SCAN_DAEMON_DEFAULT_PORT;
    return static_cast<uint16_t>(port);
}

bool daemonStaysInForeground()
{
    const char* value = std::getenv("OVRA_SCAN_DAEMON_FOREGROUND");
    return value && std::strcmp(value, "1") == 0;
}
