// Access to the memory of the process that issued an ioctl, through umockdev.
#pragma once

#include <umockdev.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>

namespace ovraemu {

struct DataUnref {
    void operator()(UMockdevIoctlData* data) const { g_object_unref(data); }
};
// An owned reference to a block of client memory copied into this process;
// changes to it are written back when the ioctl completes.
using ClientMemory = std::unique_ptr<UMockdevIoctlData, DataUnref>;

// The block of `length` bytes that the pointer at `offset` inside `parent` points to.
inline ClientMemory Resolve(UMockdevIoctlData* parent, size_t offset, size_t length)
{
    GError* error = nullptr;
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(parent, offset, length, &error);
    if (error)
        g_error_free(error);
    return ClientMemory(data);
}

// The value that an ioctl argument points to.
template <typename T>
std::optional<T> ReadPointee(UMockdevIoctlData* arg)
{
    ClientMemory memory = Resolve(arg, 0, sizeof(T));
    if (!memory)
        return std::nullopt;
    T value;
    std::memcpy(&value, memory->data, sizeof(T));
    return value;
}

template <typename T>
bool WritePointee(UMockdevIoctlData* arg, const T& value)
{
    ClientMemory memory = Resolve(arg, 0, sizeof(T));
    if (!memory)
        return false;
    std::memcpy(memory->data, &value, sizeof(T));
    return true;
}

} // namespace ovraemu
