// The kernel side of one usbfs device node (/dev/bus/usb/BBB/DDD): answers
// the reads and ioctls that reach the node through umockdev, keeps the
// interface claims, the kernel driver binding, the URBs of every open file and
// the synchronous transfers that wait for the device or their time-out, and
// hands the traffic to the device model.
//
// Requests arrive on umockdev's worker thread; a request that has to wait is
// completed later from whichever thread lets it go on (the node's own timer
// thread for time-outs and paced devices). Public methods may be called from
// any thread.
#pragma once

#include "clientmemory.h"
#include "ovraemu/usbcore/usbdevicemodel.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace ovraemu {

struct ClientUnref {
    void operator()(UMockdevIoctlClient* client) const { g_object_unref(client); }
};
// An owned reference to the client side of one open node.
using ClientRef = std::unique_ptr<UMockdevIoctlClient, ClientUnref>;

struct UsbfsNodeSetup {
    uint8_t deviceNumber = 2;
    std::vector<uint8_t> descriptors; // what reading the node yields
    std::string kernelDriver;         // reported for interface 0 while bound
    // The bulk endpoints of each alternate setting of interface 0; transfers
    // reach only those of the current setting. Empty: every endpoint the model has.
    std::vector<std::vector<uint8_t>> settingEndpoints;
};

class UsbfsNode
{
public:
    using Clock = std::chrono::steady_clock;

    UsbfsNode(std::shared_ptr<UsbDeviceModel> model, UsbfsNodeSetup setup);
    ~UsbfsNode();
    UsbfsNode(const UsbfsNode&) = delete;
    UsbfsNode& operator=(const UsbfsNode&) = delete;

    UMockdevIoctlBase* Handler() const { return handler_; }

    // Called (without locks held) when the device model leaves the bus by itself.
    void SetLeftBusListener(std::function<void()> listener);
    void SetKernelDriverBound(bool bound);
    void SetClaimRefused(bool refused);
    bool KernelDriverDetached() const;
    // How many usbfs requests (ioctls and reads) reached the node.
    unsigned long RequestCount() const { return requestCount_; }
    // The device left the bus: waiting requests end, later ones fail with ENODEV.
    void Disconnect();
    // Offers the bulk IN reads that wait for data to the device again.
    void ServeWaitingReads();
    // Ends every waiting request and the timer thread; the node answers
    // nothing afterwards. Called before the node is detached from the testbed.
    void Shutdown();

private:
    // One submitted URB and the client memory it refers to.
    struct Urb {
        ClientMemory fields; // the client's struct usbdevfs_urb
        ClientMemory buffer; // its data buffer (null for zero length)
        unsigned long address = 0;
        usbdevfs_urb* Fields() const { return reinterpret_cast<usbdevfs_urb*>(fields->data); }
        uint8_t* Data() const { return buffer ? buffer->data : nullptr; }
        void Finish(int status, int actualLength) const;
    };
    // A synchronous USBDEVFS_BULK that waits for the device or its time-out.
    struct SyncTransfer {
        ClientRef client;
        ClientMemory fields; // the client's struct usbdevfs_bulktransfer
        ClientMemory buffer;
        uint8_t endpoint = 0;
        size_t length = 0;
        std::optional<Clock::time_point> deadline; // none: waits without limit
    };
    // A bulk IN read waiting for data: a URB or a synchronous transfer.
    struct WaitingRead {
        UMockdevIoctlClient* client = nullptr;
        std::unique_ptr<Urb> urb;
        std::unique_ptr<SyncTransfer> sync;
    };
    // A URB the device neither completes nor refuses (a control request it does
    // not answer, bulk OUT data it stops taking): in flight until the host
    // discards it or the device leaves the bus.
    struct HeldUrb {
        UMockdevIoctlClient* client = nullptr;
        std::unique_ptr<Urb> urb;
        int taken = 0; // bytes the device took before it stopped
    };
    // A blocking REAPURB with nothing to reap yet.
    struct WaitingReap {
        ClientRef client;
        ClientMemory slot; // the client's pointer that receives the URB
    };
    // A waiting request that can go on, completed once no lock is held.
    struct Completion {
        ClientRef client;
        long result = 0;
        int error = 0;
        std::unique_ptr<Urb> urb;           // kept alive until completed
        std::unique_ptr<SyncTransfer> sync; // likewise
    };
    struct OpenFile {
        std::deque<std::unique_ptr<Urb>> done; // ready to be reaped
        std::deque<WaitingReap> reaps;
        size_t readOffset = 0; // position of read() in the descriptors
        // Bulk OUT endpoints whose transfer ended early (failed or short): the
        // rest of that transfer's URBs are cancelled, as the kernel does.
        std::set<uint8_t> stoppedBulkOut;
    };
    struct Outcome {
        long result = 0;
        int error = 0;
        std::unique_ptr<Urb> reaped; // kept alive until the reap completes
        bool deferred = false;       // completed later

        Outcome() = default;
        Outcome(long result, int error) : result(result), error(error) {}
        static Outcome Later()
        {
            Outcome outcome;
            outcome.deferred = true;
            return outcome;
        }
        static Outcome Reaped(std::unique_ptr<Urb> urb)
        {
            Outcome outcome;
            outcome.reaped = std::move(urb);
            return outcome;
        }
    };

    // Entry points (usbfsnode.cpp).
    static gboolean OnIoctl(UMockdevIoctlBase* base, UMockdevIoctlClient* client, gpointer self);
    static gboolean OnRead(UMockdevIoctlBase* base, UMockdevIoctlClient* client, gpointer self);
    static gboolean OnWrite(UMockdevIoctlBase* base, UMockdevIoctlClient* client, gpointer self);
    Outcome Dispatch(UMockdevIoctlClient* client, unsigned long request, UMockdevIoctlData* arg);
    Outcome ReadDescriptors(UMockdevIoctlClient* client, UMockdevIoctlData* buffer);
    bool IsDisconnected() const;

    // Open files coming and going (usbfsclients.cpp). umockdev drops a file's
    // client object when the file is closed (by every process sharing it),
    // without always saying so; the node watches the objects and forgets the
    // state of a dropped one before it serves the next request.
    static void OnClientConnected(UMockdevIoctlBase* base, UMockdevIoctlClient* client, gpointer self);
    static void OnClientVanished(UMockdevIoctlBase* base, UMockdevIoctlClient* client, gpointer self);
    static void OnClientDropped(gpointer watch, GObject* client);
    void StopWatchingClients();
    // What the weak references point at. GLib detaches a weak reference before
    // it calls back, so a callback can still come after the node stopped
    // watching, even while it is destroyed: the watch outlives the node and
    // tells the callback that nobody listens any more.
    struct ClientWatch {
        std::mutex mutex;
        UsbfsNode* node;
    };
    static ClientWatch* NewClientWatch(UsbfsNode* node);
    ClientWatch* watch_ = NewClientWatch(this);
    // Called with mutex_ held.
    void ForgetDroppedClients();
    void ForgetClient(UMockdevIoctlClient* client);

    // Interfaces, endpoints and the kernel driver (usbfsinterfaces.cpp).
    Outcome Claim(UMockdevIoctlClient* client, unsigned interface);
    Outcome Release(UMockdevIoctlClient* client, unsigned interface);
    Outcome CheckInterface(UMockdevIoctlClient* client, unsigned interface);
    Outcome GetDriver(UMockdevIoctlData* arg);
    Outcome InterfaceIoctl(UMockdevIoctlData* arg);
    Outcome DisconnectClaim(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    Outcome DetachDriver(unsigned interface);
    Outcome ConnectInfo(UMockdevIoctlData* arg) const;
    Outcome EndpointIoctl(UMockdevIoctlClient* client, EndpointRequest kind, UMockdevIoctlData* arg);
    Outcome SetInterface(UMockdevIoctlData* arg);
    // The model has the endpoint and it belongs to the current alternate setting.
    bool HasCurrentBulkEndpoint(uint8_t address) const;

    // URBs (usbfsurbs.cpp).
    Outcome Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    Outcome SubmitControl(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb);
    Outcome SubmitBulk(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb);
    Outcome SubmitBulkOut(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb);
    // False when the URB continues a transfer that ended early; a URB that
    // starts a transfer (no continuation flag) lifts that state.
    bool BulkOutGoesOn(UMockdevIoctlClient* client, uint8_t endpoint, bool continuation);
    void StopBulkOut(UMockdevIoctlClient* client, uint8_t endpoint);
    Outcome Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg, bool block);
    Outcome Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    Outcome CheckControlRecipient(UMockdevIoctlClient* client, const ControlRequest& setup);
    void Hold(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb, int taken);
    void EndForGoneDevice(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb, int taken);
    // A bulk OUT URB of the client on the endpoint is held (later URBs of its
    // transfer queue up behind it).
    bool HoldsBulkOut(UMockdevIoctlClient* client, uint8_t endpoint) const;
    // Ends the held URB at the client's address; false when none is held there.
    bool DiscardHeld(UMockdevIoctlClient* client, unsigned long address);
    // Hands a finished URB to its file, or straight to a blocked reap; takes mutex_.
    void Complete(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb);

    // Draining of waiting reads before a process is killed (usbfswaiting.cpp).
    Outcome Drain(bool on);
    bool Draining() const;
    void EndWaitingSyncReads(int error);

    // Synchronous CONTROL and BULK (usbfssync.cpp).
    Outcome SyncControl(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    Outcome SyncBulk(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    Outcome SyncBulkOut(std::unique_ptr<SyncTransfer> transfer);
    Outcome SyncBulkIn(UMockdevIoctlClient* client, std::unique_ptr<SyncTransfer> transfer);
    // A control request the device does not answer ends at its time-out.
    Outcome SyncControlHeld(UMockdevIoctlClient* client, ClientMemory transfer, unsigned timeoutMs);

    // Waiting requests, time-outs and completions (usbfswaiting.cpp).
    void Serve();
    bool TryRead(WaitingRead& read);
    void ExpireDeadlines();
    std::optional<Clock::time_point> NextWakeTime() const;
    void TimerLoop();
    void WakeTimer();
    void FlushCompletions();
    void EndEverything(int urbStatus, int error);
    void LeaveBus();

    const std::shared_ptr<UsbDeviceModel> model_;
    const UsbfsNodeSetup setup_;
    UMockdevIoctlBase* handler_;
    std::function<void()> leftBusListener_;

    // Serializes the handling of waiting bulk IN reads; taken before mutex_.
    // The device model is called with readMutex_ held but never with mutex_.
    std::mutex readMutex_;
    mutable std::mutex mutex_;
    std::map<UMockdevIoctlClient*, OpenFile> files_;
    std::map<unsigned, UMockdevIoctlClient*> claims_;
    std::deque<WaitingRead> waiting_; // in arrival order
    // Synchronous requests the device does not answer (writes it refuses,
    // control requests it holds): they end at their time-out.
    std::deque<std::unique_ptr<SyncTransfer>> stalledWrites_;
    std::deque<HeldUrb> held_;
    std::vector<Completion> completions_;
    bool kernelDriverBound_ = false;
    bool kernelDriverDetached_ = false;
    bool claimRefused_ = false;
    unsigned currentSetting_ = 0;
    bool disconnected_ = false;
    bool shutDown_ = false;
    std::optional<Clock::time_point> drainUntil_;
    std::atomic<unsigned long> requestCount_{0};

    std::mutex droppedMutex_; // taken last
    std::vector<UMockdevIoctlClient*> dropped_;

    std::mutex timerMutex_;
    std::condition_variable timerWake_;
    bool timerWakeRequested_ = false;
    bool timerStopping_ = false;
    std::thread timer_;
};

} // namespace ovraemu
