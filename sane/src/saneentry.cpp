// The SANE entry points of libsane-ovra. SANE's dll loader looks for
// "sane_ovra_<operation>"; the plain "sane_<operation>" names serve front ends linked
// to this backend directly.
#include "ovrabackend.h"
#include "ovradebug.h"

#include <sane/sane.h>

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#define OVRA_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace ovrasane;

struct Backend {
    BackendConfig config;
    std::vector<DeviceEntry> devices;
    std::vector<SANE_Device> saneDevices;
    std::vector<const SANE_Device*> list;
    std::vector<Session*> sessions;
};

Backend* g_backend = nullptr;

void Rediscover()
{
    g_backend->devices = DiscoverDevices(g_backend->config);
    g_backend->saneDevices.clear();
    for (const DeviceEntry& device : g_backend->devices)
        g_backend->saneDevices.push_back(
            {device.name.c_str(), device.vendor.c_str(), device.model.c_str(), device.type.c_str()});
    g_backend->list.clear();
    for (const SANE_Device& device : g_backend->saneDevices)
        g_backend->list.push_back(&device);
    g_backend->list.push_back(nullptr);
}

Session* AsSession(SANE_Handle handle) { return static_cast<Session*>(handle); }

} // namespace

OVRA_EXPORT SANE_Status sane_ovra_init(SANE_Int* version_code, SANE_Auth_Callback)
{
    InitDebug();
    Dbg(DBG_TRACE, "sane_init");
    if (version_code)
        *version_code = SANE_VERSION_CODE(SANE_CURRENT_MAJOR, 0, 1);
    if (g_backend)
        return SANE_STATUS_GOOD;
    g_backend = new (std::nothrow) Backend;
    if (!g_backend)
        return SANE_STATUS_NO_MEM;
    std::vector<std::string> problems;
    g_backend->config = LoadConfig(&problems);
    for (const std::string& problem : problems)
        Dbg(DBG_ERROR, "ovra.conf: %s", problem.c_str());
    Dbg(DBG_INFO, "%zu network scanner(s) configured", g_backend->config.netAddresses.size());
    return SANE_STATUS_GOOD;
}

OVRA_EXPORT void sane_ovra_exit(void)
{
    Dbg(DBG_TRACE, "sane_exit");
    if (!g_backend)
        return;
    for (Session* session : g_backend->sessions)
        delete session;
    delete g_backend;
    g_backend = nullptr;
}

OVRA_EXPORT SANE_Status sane_ovra_get_devices(const SANE_Device*** device_list, SANE_Bool)
{
    Dbg(DBG_TRACE, "sane_get_devices");
    if (!g_backend || !device_list)
        return SANE_STATUS_INVAL;
    try {
        Rediscover();
        for (const DeviceEntry& device : g_backend->devices)
            Dbg(DBG_INFO, "device ovra:%s: %s", device.name.c_str(), device.model.c_str());
    } catch (const std::bad_alloc&) {
        return SANE_STATUS_NO_MEM;
    }
    *device_list = g_backend->list.data();
    return SANE_STATUS_GOOD;
}

OVRA_EXPORT SANE_Status sane_ovra_open(SANE_String_Const name, SANE_Handle* handle)
{
    Dbg(DBG_TRACE, "sane_open %s", name ? name : "(null)");
    if (!g_backend || !handle)
        return SANE_STATUS_INVAL;
    try {
        const DeviceEntry* chosen = nullptr;
        for (const DeviceEntry& device : g_backend->devices)
            if (!name || !name[0] || device.name == name) {
                chosen = &device;
                break;
            }
        if (!chosen) {
            Rediscover();
            for (const DeviceEntry& device : g_backend->devices)
                if (!name || !name[0] || device.name == name) {
                    chosen = &device;
                    break;
                }
        }
        if (!chosen) {
            Dbg(DBG_ERROR, "no device %s", name);
            return SANE_STATUS_INVAL;
        }
        Session* session = new Session(*chosen, DaemonPortFor(g_backend->config));
        g_backend->sessions.push_back(session);
        *handle = session;
        return SANE_STATUS_GOOD;
    } catch (const std::bad_alloc&) {
        return SANE_STATUS_NO_MEM;
    }
}

OVRA_EXPORT void sane_ovra_close(SANE_Handle handle)
{
    Dbg(DBG_TRACE, "sane_close");
    if (!g_backend)
        return;
    auto& sessions = g_backend->sessions;
    for (auto it = sessions.begin(); it != sessions.end(); ++it)
        if (*it == handle) {
            delete *it;
            sessions.erase(it);
            return;
        }
}

OVRA_EXPORT const SANE_Option_Descriptor* sane_ovra_get_option_descriptor(SANE_Handle handle, SANE_Int option)
{
    return handle ? AsSession(handle)->Descriptor(option) : nullptr;
}

OVRA_EXPORT SANE_Status sane_ovra_control_option(SANE_Handle handle, SANE_Int option, SANE_Action action, void* value,
                                                 SANE_Int* info)
{
    Dbg(DBG_TRACE, "sane_control_option %d action %d", option, int(action));
    if (info)
        *info = 0;
    if (!handle)
        return SANE_STATUS_INVAL;
    return AllowedStatus(EntryPoint::ControlOption, AsSession(handle)->Control(option, action, value, info));
}

OVRA_EXPORT SANE_Status sane_ovra_get_parameters(SANE_Handle handle, SANE_Parameters* params)
{
    Dbg(DBG_TRACE, "sane_get_parameters");
    return handle ? AllowedStatus(EntryPoint::GetParameters, AsSession(handle)->Parameters(params)) : SANE_STATUS_INVAL;
}

OVRA_EXPORT SANE_Status sane_ovra_start(SANE_Handle handle)
{
    Dbg(DBG_TRACE, "sane_start");
    if (!handle)
        return SANE_STATUS_INVAL;
    try {
        return AsSession(handle)->Start();
    } catch (const std::bad_alloc&) {
        return SANE_STATUS_NO_MEM;
    }
}

OVRA_EXPORT SANE_Status sane_ovra_read(SANE_Handle handle, SANE_Byte* data, SANE_Int max_length, SANE_Int* length)
{
    if (length)
        *length = 0;
    if (!handle)
        return SANE_STATUS_INVAL;
    const SANE_Status status = AsSession(handle)->Read(data, max_length, length);
    if (status != SANE_STATUS_GOOD)
        Dbg(DBG_TRACE, "sane_read: %s", sane_strstatus(status));
    else
        Dbg(DBG_DETAIL, "sane_read: %d bytes", *length);
    return status;
}

// Only sets the flag and sends the abort when a scan call waits: front ends call it
// from signal handlers.
OVRA_EXPORT void sane_ovra_cancel(SANE_Handle handle)
{
    if (handle)
        AsSession(handle)->Cancel();
}

OVRA_EXPORT SANE_Status sane_ovra_set_io_mode(SANE_Handle handle, SANE_Bool non_blocking)
{
    Dbg(DBG_TRACE, "sane_set_io_mode %d", int(non_blocking));
    return handle ? AllowedStatus(EntryPoint::SetIoMode, AsSession(handle)->SetIoMode(non_blocking))
                  : SANE_STATUS_INVAL;
}

OVRA_EXPORT SANE_Status sane_ovra_get_select_fd(SANE_Handle handle, SANE_Int* fd)
{
    Dbg(DBG_TRACE, "sane_get_select_fd");
    return handle ? AllowedStatus(EntryPoint::GetSelectFd, AsSession(handle)->SelectFd(fd)) : SANE_STATUS_INVAL;
}

// The plain names, for front ends linked to this backend alone.
OVRA_EXPORT SANE_Status sane_init(SANE_Int* v, SANE_Auth_Callback a) { return sane_ovra_init(v, a); }
OVRA_EXPORT void sane_exit(void) { sane_ovra_exit(); }
OVRA_EXPORT SANE_Status sane_get_devices(const SANE_Device*** l, SANE_Bool o) { return sane_ovra_get_devices(l, o); }
OVRA_EXPORT SANE_Status sane_open(SANE_String_Const n, SANE_Handle* h) { return sane_ovra_open(n, h); }
OVRA_EXPORT void sane_close(SANE_Handle h) { sane_ovra_close(h); }
OVRA_EXPORT const SANE_Option_Descriptor* sane_get_option_descriptor(SANE_Handle h, SANE_Int o)
{
    return sane_ovra_get_option_descriptor(h, o);
}
OVRA_EXPORT SANE_Status sane_control_option(SANE_Handle h, SANE_Int o, SANE_Action a, void* v, SANE_Int* i)
{
    return sane_ovra_control_option(h, o, a, v, i);
}
OVRA_EXPORT SANE_Status sane_get_parameters(SANE_Handle h, SANE_Parameters* p)
{
    return sane_ovra_get_parameters(h, p);
}
OVRA_EXPORT SANE_Status sane_start(SANE_Handle h) { return sane_ovra_start(h); }
OVRA_EXPORT SANE_Status sane_read(SANE_Handle h, SANE_Byte* d, SANE_Int m, SANE_Int* l)
{
    return sane_ovra_read(h, d, m, l);
}
OVRA_EXPORT void sane_cancel(SANE_Handle h) { sane_ovra_cancel(h); }
OVRA_EXPORT SANE_Status sane_set_io_mode(SANE_Handle h, SANE_Bool m) { return sane_ovra_set_io_mode(h, m); }
OVRA_EXPORT SANE_Status sane_get_select_fd(SANE_Handle h, SANE_Int* f) { return sane_ovra_get_select_fd(h, f); }
OVRA_EXPORT SANE_String_Const sane_strstatus(SANE_Status status)
{
    static const char* const texts[] = {"Success",
                                        "Operation not supported",
                                        "Operation was cancelled",
                                        "Device busy",
                                        "Invalid argument",
                                        "End of file reached",
                                        "Document feeder jammed",
                                        "Document feeder out of documents",
                                        "Scanner cover is open",
                                        "Error during device I/O",
                                        "Out of memory",
                                        "Access to resource has been denied"};
    if (status >= 0 && size_t(status) < sizeof texts / sizeof texts[0])
        return texts[status];
    return "Unknown SANE status code";
}
