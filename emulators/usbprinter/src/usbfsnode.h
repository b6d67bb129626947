// The kernel side of one usbfs device node (/dev/bus/usb/BBB/DDD): answers the
// ioctls that reach the node through umockdev, keeps the interface claims, the
// kernel driver binding and the URBs of every open file, and hands the traffic
// to the device model. Ioctls arrive on umockdev's worker thread; the public
// methods may be called from any thread.
#pragma once

#include "clientmemory.h"
#include "usbdevicemodel.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <deque>
#include <map>
#include <memory>
#include <mutex>

namespace ovraemu {

class UsbfsNode {
public:
    UsbfsNode(std::shared_ptr<UsbDeviceModel> model, uint8_t deviceNumber);
    ~UsbfsNode();
    UsbfsNode(const UsbfsNode&) = delete;
    UsbfsNode& operator=(const UsbfsNode&) = delete;

    UMockdevIoctlBase* Handler() const { return handler_; }

    void SetKernelDriverBound(bool bound);
    void SetClaimRefused(bool refused);
    bool KernelDriverDetached() const;
    // The device left the bus: waiting URBs end, later requests fail with ENODEV.
    void Disconnect();
    // Offers the bulk IN URBs that wait for data to the device again.
    void ServeWaitingReads();

private:
    // One submitted URB and the client memory it refers to.
    struct Urb {
        ClientMemory fields;  // the client's struct usbdevfs_urb
        ClientMemory buffer;  // its data buffer (null for zero length)
        unsigned long address = 0;
        usbdevfs_urb* Fields() const { return reinterpret_cast<usbdevfs_urb*>(fields->data); }
        uint8_t* Data() const { return buffer ? buffer->data : nullptr; }
        void Finish(int status, int actualLength) const;
    };
    struct OpenFile {
        std::deque<std::unique_ptr<Urb>> done;     // ready to be reaped
        std::deque<std::unique_ptr<Urb>> waiting;  // bulk IN reads without data yet
    };
    struct Outcome {
        long result = 0;
        int error = 0;
        std::unique_ptr<Urb> reaped;  // kept alive until the reap completes
    };

    static gboolean OnIoctl(UMockdevIoctlBase* base, UMockdevIoctlClient* client, gpointer self);
    static void OnClientVanished(UMockdevIoctlBase* base, UMockdevIoctlClient* client, gpointer self);
    Outcome Dispatch(UMockdevIoctlClient* client, unsigned long request, UMockdevIoctlData* arg);
    bool IsDisconnected() const;

    // Interfaces and the kernel driver (usbfsnode.cpp).
    Outcome Claim(UMockdevIoctlClient* client, unsigned interface);
    Outcome Release(UMockdevIoctlClient* client, unsigned interface);
    Outcome CheckInterface(UMockdevIoctlClient* client, unsigned interface);
    Outcome GetDriver(UMockdevIoctlData* arg);
    Outcome InterfaceIoctl(UMockdevIoctlData* arg);
    Outcome DisconnectClaim(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    Outcome DetachDriver(unsigned interface);
    Outcome ConnectInfo(UMockdevIoctlData* arg) const;

    // URBs and synchronous transfers (usbfsurbs.cpp).
    Outcome Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    Outcome SubmitControl(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb);
    Outcome SubmitBulk(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb);
    Outcome Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    Outcome Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    Outcome SyncControl(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    Outcome SyncBulk(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    Outcome CheckControlRecipient(UMockdevIoctlClient* client, const ControlRequest& setup);
    bool TryRead(Urb& urb);
    void Complete(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb);
    void Wait(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb);

    const std::shared_ptr<UsbDeviceModel> model_;
    const uint8_t deviceNumber_;
    UMockdevIoctlBase* handler_;

    // Serializes the handling of waiting bulk IN reads; taken before mutex_.
    // The device model is called with readMutex_ held but never with mutex_.
    std::mutex readMutex_;
    mutable std::mutex mutex_;
    std::map<UMockdevIoctlClient*, OpenFile> files_;
    std::map<unsigned, UMockdevIoctlClient*> claims_;
    bool kernelDriverBound_ = false;
    bool kernelDriverDetached_ = false;
    bool claimRefused_ = false;
    bool disconnected_ = false;
};

}  // namespace ovraemu
