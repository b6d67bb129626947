#include "usbfs.h"

#include "ovrascanprotocol.h"
#include "scanlog.h"

#include <cerrno>
#include <cstring>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

UsbIoctlFunction g_usbIoctl = nullptr;

const int c_iStringTimeoutMs = 1000;
const int c_iStringBufferSize = 255;
const int c_iProbeBufferSize = 256;

} // namespace

void ovra_set_usb_ioctl(UsbIoctlFunction function) { g_usbIoctl = function; }

int ovra_usb_ioctl(int fd, unsigned long request, void* arg)
{
    if (g_usbIoctl)
        return g_usbIoctl(fd, request, arg);
    return ioctl(fd, request, arg);
}

int ovra_control_msg(int dev, int requesttype, int request, int value, int index, char* bytes, int size, int timeout)
{
    OvraLogInfo("** %s", __func__);
    usb_ctrltransfer ctrl = {};
    ctrl.bRequestType = static_cast<uint8_t>(requesttype);
    ctrl.bRequest = static_cast<uint8_t>(request);
    ctrl.wValue = static_cast<uint16_t>(value);
    ctrl.wIndex = static_cast<uint16_t>(index);
    ctrl.wLength = static_cast<uint16_t>(size);
    ctrl.timeout = static_cast<uint32_t>(timeout);
    ctrl.data = bytes;
    int ret = ovra_usb_ioctl(dev, USBDEVFS_CONTROL, &ctrl);
    if (ret < 0)
        OvraLogErr("USB error: error sending control message");
    return ret;
}

int ovra_get_string(int dev, int index, int langid, char* buf, size_t buflen)
{
    OvraLogInfo("** %s", __func__);
    return ovra_control_msg(dev, 0x80, 6, 0x300 + index, langid, buf, static_cast<int>(buflen), c_iStringTimeoutMs);
}

int usbStringToAscii(const unsigned char* descriptor, int bLength, char* buf, size_t buflen)
{
    if (!buf || buflen == 0)
        return 0;
    size_t written = 0;
    for (int i = 2; i + 1 < bLength && written < buflen - 1; i += 2) {
        unsigned char low = descriptor[i];
        unsigned char high = descriptor[i + 1];
        buf[written++] = high == 0 ? static_cast<char>(low) : '?';
    }
    buf[written] = '\0';
    return static_cast<int>(written);
}

int ovra_get_string_simple(int dev, int index, char* buf, size_t buflen)
{
    OvraLogInfo("** %s", __func__);
    unsigned char tbuf[c_iStringBufferSize] = {};
    int ret = ovra_get_string(dev, 0, 0, reinterpret_cast<char*>(tbuf), sizeof(tbuf));
    if (ret < 0)
        return ret;
    if (ret < 4)
        return -EIO;
    int langid = tbuf[2] | (tbuf[3] << 8);
    ret = ovra_get_string(dev, index, langid, reinterpret_cast<char*>(tbuf), sizeof(tbuf));
    if (ret < 0)
        return ret;
    if (ret < 2 || tbuf[1] != 3)
        return -EIO;
    if (tbuf[0] > ret)
        return -EFBIG;
    return usbStringToAscii(tbuf, tbuf[0], buf, buflen);
}

int ovra_resetep(int dev, unsigned ep)
{
    unsigned int endpoint = ep;
    return ovra_usb_ioctl(dev, USBDEVFS_RESETEP, &endpoint) < 0 ? OVRA_STATUS_IO_ERROR : OVRA_STATUS_GOOD;
}

int ovra_clear_halt(int dev, unsigned ep)
{
    unsigned int endpoint = ep;
    int ret = ovra_usb_ioctl(dev, USBDEVFS_CLEAR_HALT, &endpoint);
    OvraLogInfoNoEol("ovra_clear_halt ret:%d", ret);
    return ret < 0 ? OVRA_STATUS_IO_ERROR : OVRA_STATUS_GOOD;
}

int ovra_reset_device(int dev) { return ovra_usb_ioctl(dev, USBDEVFS_RESET, nullptr); }

int ovra_open_device(int dev)
{
    OvraLogInfo("** %s", __func__);
    return ovra_init(dev);
}

int ovra_init(int dev)
{
    (void)dev;
    OvraLogInfo("** %s", __func__);
    return OVRA_STATUS_GOOD;
}

void ovra_close_device(int dev)
{
    OvraLogInfo("** %s", __func__);
    if (dev != 0)
        close(dev);
}

int usb_bulk(int fd, unsigned ep, char* data, int size, int timeout)
{
    OvraLogInfo("** %s", __func__);
    int done = 0;
    while (done < size) {
        int piece =
            size - done < static_cast<int>(OVRA_USB_BULK_PIECE) ? size - done : static_cast<int>(OVRA_USB_BULK_PIECE);
        usbdevfs_bulktransfer bulk = {};
        bulk.ep = ep;
        bulk.len = static_cast<unsigned>(piece);
        bulk.timeout = static_cast<unsigned>(timeout);
        bulk.data = data + done;
        int moved = ovra_usb_ioctl(fd, USBDEVFS_BULK, &bulk);
        if (moved < 0) {
            int err = errno;
            OvraLogErr("usb_bulk ep 0x%02x: %s(errno: %d)", ep, strerror(err), err);
            // Still there when it answers a string descriptor request.
            char probe[c_iProbeBufferSize];
            int ret = ovra_get_string(fd, 0, 0, probe, sizeof(probe));
            if (ret >= 0)
                return 0;
            OvraLogErr("** ovra_get_string ret:%d", ret);
            return ret;
        }
        if (moved > piece)
            moved = piece;
        done += moved;
        if ((ep & 0x80) && moved < piece)
            break;
        if (moved == 0)
            break;
    }
    return done;
}

int ovra_bulk_write(int dev, const char* data, int size, int timeout)
{
    OvraLogInfo("** %s", __func__);
    if (dev <= 0 || !data)
        return -1;
    return usb_bulk(dev, 0x02, const_cast<char*>(data), size, timeout);
}

int ovra_bulk_read(int dev, char* data, int size, int timeout)
{
    OvraLogInfo("** %s", __func__);
    if (dev <= 0 || !data)
        return -1;
    return usb_bulk(dev, 0x82, data, size, timeout);
}

int ovra_detach_driver(int dev)
{
    OvraLogInfo("** %s", __func__);
    usbdevfs_ioctl command = {};
    command.ifno = 0;
    command.ioctl_code = USBDEVFS_DISCONNECT;
    command.data = nullptr;
    return ovra_usb_ioctl(dev, USBDEVFS_IOCTL, &command);
}

int ovra_claim_interface(int dev)
{
    OvraLogInfo("** %s", __func__);
    unsigned int interface = 0;
    return ovra_usb_ioctl(dev, USBDEVFS_CLAIMINTERFACE, &interface);
}

int ovra_release_interface(int dev)
{
    OvraLogInfo("** %s", __func__);
    unsigned int interface = 0;
    return ovra_usb_ioctl(dev, USBDEVFS_RELEASEINTERFACE, &interface);
}
