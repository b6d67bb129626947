// A small libusb program that asks one printer for its status the way the
// print service does: find the device by IDs and serial, claim interface 0
// (detaching a kernel driver first), class request 0x33 of up to 1024 bytes.
// Prints "status HEX" and exits 0, or prints the failing step and exits 1.
// With --shell it also runs a shell child that runs ps, as the service does.
#include <libusb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

libusb_device_handle* OpenBySerial(libusb_device** list, uint16_t vendor, uint16_t product, const char* serial)
{
    for (libusb_device** device = list; *device; ++device) {
        libusb_device_descriptor descriptor;
        if (libusb_get_device_descriptor(*device, &descriptor) != 0 || descriptor.idVendor != vendor
            || descriptor.idProduct != product)
            continue;
        libusb_device_handle* handle = nullptr;
        if (libusb_open(*device, &handle) != 0)
            continue;
        unsigned char text[64] = {};
        if (libusb_get_string_descriptor_ascii(handle, descriptor.iSerialNumber, text, sizeof text) >= 0
            && std::strncmp(reinterpret_cast<char*>(text), serial, std::strlen(serial)) == 0)
            return handle;
        libusb_close(handle);
    }
    return nullptr;
}

int Fail(const char* step, int code)
{
    std::printf("failed %s %s\n", step, libusb_error_name(code));
    return 1;
}

int QueryStatus(libusb_device_handle* handle)
{
    if (libusb_kernel_driver_active(handle, 0) == 1 && libusb_detach_kernel_driver(handle, 0) != 0)
        return Fail("detach", LIBUSB_ERROR_OTHER);
    int result = libusb_claim_interface(handle, 0);
    if (result != 0)
        return Fail("claim", result);
    unsigned char reply[1024] = {};
    result = libusb_control_transfer(handle, 0xA1, 0x33, 0, 0, reply, sizeof reply, 2000);
    libusb_release_interface(handle, 0);
    if (result < 0)
        return Fail("control", result);
    std::printf("status ");
    for (int i = 0; i < result; ++i)
        std::printf("%02X", reply[i]);
    std::printf("\n");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: usbstatusclient VID PID SERIAL [--shell]\n");
        return 2;
    }
    const auto vendor = static_cast<uint16_t>(std::strtoul(argv[1], nullptr, 16));
    const auto product = static_cast<uint16_t>(std::strtoul(argv[2], nullptr, 16));
    if (argc > 4 && std::strcmp(argv[4], "--shell") == 0) {
        std::fflush(stdout);
        if (std::system("sh -c 'ps -p $$ -o pid= >/dev/null && echo child-ok'") != 0)
            std::printf("child-failed\n");
    }

    libusb_context* context = nullptr;
    int result = libusb_init(&context);
    if (result != 0)
        return Fail("init", result);
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    if (count < 0) {
        libusb_exit(context);
        return Fail("list", static_cast<int>(count));
    }
    libusb_device_handle* handle = OpenBySerial(list, vendor, product, argv[3]);
    libusb_free_device_list(list, 1);
    result = handle ? QueryStatus(handle) : Fail("search", LIBUSB_ERROR_NOT_FOUND);
    if (handle)
        libusb_close(handle);
    libusb_exit(context);
    return result;
}
