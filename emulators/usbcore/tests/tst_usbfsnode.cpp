// usbfs requests on an emulated node (run under libumockdev-preload): reads
// that wait for the device, blocking and non-blocking reaps, discards, claims
// of closed files, the node file itself and a client dropped while the
// testbed goes.
#include "ovraemu/usbcore/usbfsprivate.h"
#include "ovraemu/usbcore/usbtestbed.h"

#include <umockdev.h>

#include <QtTest>

#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

using namespace ovraemu;

namespace {

using Clock = std::chrono::steady_clock;

// A device whose bulk IN data is whatever the test queued.
class QueueDevice : public UsbDeviceModel
{
public:
    ControlOutcome Control(const ControlRequest&, const std::vector<uint8_t>&) override { return {true, {}}; }
    bool HasInterface(unsigned number) const override { return number == 0; }
    bool HasBulkEndpoint(uint8_t address) const override { return address == 0x02 || address == 0x82; }
    bool BulkOut(uint8_t, const std::vector<uint8_t>&) override { return true; }
    std::optional<std::vector<uint8_t>> BulkIn(uint8_t, size_t maxLength) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.empty())
            return std::nullopt;
        std::vector<uint8_t> data = std::move(queue_.front());
        queue_.pop_front();
        if (data.size() > maxLength)
            data.resize(maxLength);
        return data;
    }
    void Push(std::vector<uint8_t> data)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(data));
    }

private:
    std::mutex mutex_;
    std::deque<std::vector<uint8_t>> queue_;
};

// A device that takes at most `limit` bytes of each bulk OUT request and ends it
// short, or stalls every request once told to.
class PartTakingDevice : public QueueDevice
{
public:
    BulkOutOutcome TakeBulkOut(uint8_t, const std::vector<uint8_t>& data, bool continuation) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        continuations_.push_back(continuation);
        if (stall_)
            return BulkOutOutcome::Stall(0);
        const size_t taken = std::min(limit_, data.size());
        taken_.insert(taken_.end(), data.begin(), data.begin() + static_cast<long>(taken));
        return taken < data.size() ? BulkOutOutcome::Short(taken) : BulkOutOutcome::Whole(taken);
    }
    void SetStall(bool stall)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stall_ = stall;
    }
    std::vector<uint8_t> Taken()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return taken_;
    }
    std::vector<bool> Continuations()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return continuations_;
    }

private:
    std::mutex mutex_;
    size_t limit_ = 3;
    bool stall_ = false;
    std::vector<uint8_t> taken_;
    std::vector<bool> continuations_;
};

usbdevfs_urb BulkUrb(unsigned char endpoint, uint8_t* buffer, int length, unsigned flags = 0)
{
    usbdevfs_urb urb{};
    urb.type = USBDEVFS_URB_TYPE_BULK;
    urb.endpoint = endpoint;
    urb.buffer = buffer;
    urb.buffer_length = length;
    urb.flags = flags;
    return urb;
}

UsbDeviceDescription Description()
{
    UsbDeviceDescription description;
    description.identity = {0x1234, 0x5678, "Maker", "Thing", "S", true};
    description.layout.bulkOutEndpoint = 0x02;
    description.layout.bulkInEndpoint = 0x82;
    return description;
}

long ElapsedMs(Clock::time_point since)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// Queues data for the device after `delayMs` and offers it to the waiting reads.
std::thread PushLater(UsbTestbed& testbed, int id, QueueDevice& device, std::vector<uint8_t> data, int delayMs)
{
    return std::thread([&testbed, id, &device, data, delayMs] {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        device.Push(data);
        testbed.ServeWaitingReads(id);
    });
}

struct Node {
    int fd;
    explicit Node(const std::string& path) : fd(::open(path.c_str(), O_RDWR)) {}
    ~Node()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// A testbed with one device of the given model and the path of its node.
template <typename Model = QueueDevice>
struct OneDevice {
    UsbTestbed testbed;
    std::shared_ptr<Model> device = std::make_shared<Model>();
    const int id = testbed.AddDevice(Description(), device);
    const std::string path = testbed.DevNode(id);
};

// The result of the first claim of interface 0 that succeeds within `limitMs`.
int ClaimWithin(int fd, int limitMs, int stepMs)
{
    unsigned interface = 0;
    QElapsedTimer timer;
    timer.start();
    int result = -1;
    while ((result = ::ioctl(fd, USBDEVFS_CLAIMINTERFACE, &interface)) != 0 && timer.elapsed() < limitMs)
        QThread::msleep(static_cast<unsigned long>(stepMs));
    return result;
}

// Catches the first client that connects while OnConnected is an emission hook
// of "client-connected". Emission hooks run before the handlers, so its weak
// reference comes before the node's and is called first: it holds the thread
// that drops the client until released.
struct ClientDrop {
    static constexpr std::chrono::seconds kHoldLimit{5};
    std::mutex mutex;
    std::condition_variable changed;
    GObject* client = nullptr;
    bool dropping = false;
    bool released = false;
    bool heldUntilReleased = false;
    bool lastCallbackRan = false;

    static gboolean OnConnected(GSignalInvocationHint*, guint, const GValue* values, gpointer self)
    {
        auto* drop = static_cast<ClientDrop*>(self);
        std::lock_guard<std::mutex> lock(drop->mutex);
        if (!drop->client) {
            drop->client = G_OBJECT(g_value_get_object(&values[1]));
            g_object_weak_ref(drop->client, &ClientDrop::Hold, drop);
        }
        return TRUE;
    }
    static void Hold(gpointer self, GObject*)
    {
        auto* drop = static_cast<ClientDrop*>(self);
        std::unique_lock<std::mutex> lock(drop->mutex);
        drop->dropping = true;
        drop->changed.notify_all();
        drop->heldUntilReleased = drop->changed.wait_for(lock, kHoldLimit, [drop] { return drop->released; });
    }
    static void OnLastCallback(gpointer self, GObject*)
    {
        static_cast<ClientDrop*>(self)->Set(&ClientDrop::lastCallbackRan);
    }
    void Set(bool ClientDrop::*flag)
    {
        std::lock_guard<std::mutex> lock(mutex);
        this->*flag = true;
        changed.notify_all();
    }
    bool WaitFor(bool ClientDrop::*flag)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kHoldLimit, [this, flag] { return this->*flag; });
    }
};

} // namespace

class UsbfsNodeTest : public QObject
{
    Q_OBJECT

private slots:
    void readWithoutTimeOutWaitsUntilTheDeviceHasData()
    {
        OneDevice<> bed;
        Node node(bed.path);
        uint8_t buffer[64] = {};
        usbdevfs_bulktransfer transfer{0x82, sizeof buffer, 0, buffer};
        std::thread push = PushLater(bed.testbed, bed.id, *bed.device, {7, 8, 9}, 150);
        const auto start = Clock::now();
        QCOMPARE(::ioctl(node.fd, USBDEVFS_BULK, &transfer), 3);
        push.join();
        QVERIFY(ElapsedMs(start) >= 140);
        QCOMPARE(buffer[2], uint8_t(9));
    }

    void drainEndsAWaitingReadAndKeepsLaterOnesFromWaiting()
    {
        OneDevice<> bed;
        // Another process drains the node while this one waits in a read.
        const pid_t drainer = fork();
        if (drainer == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            const int fd = ::open(bed.path.c_str(), O_RDWR);
            _exit(::ioctl(fd, OVRA_USBFS_DRAIN, nullptr) == 0 ? 0 : 1);
        }
        Node node(bed.path);
        uint8_t buffer[8];
        usbdevfs_bulktransfer transfer{0x82, sizeof buffer, 5000, buffer};
        const auto start = Clock::now();
        QCOMPARE(::ioctl(node.fd, USBDEVFS_BULK, &transfer), -1);
        QCOMPARE(errno, ETIMEDOUT);
        QVERIFY(ElapsedMs(start) < 2000);
        int status = 0;
        waitpid(drainer, &status, 0);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        const auto again = Clock::now();
        QCOMPARE(::ioctl(node.fd, USBDEVFS_BULK, &transfer), -1); // still draining: no wait
        QVERIFY(ElapsedMs(again) < 1000);
        QCOMPARE(::ioctl(node.fd, OVRA_USBFS_DRAIN_END, nullptr), 0);
        transfer.timeout = 100;
        const auto after = Clock::now();
        QCOMPARE(::ioctl(node.fd, USBDEVFS_BULK, &transfer), -1);
        QVERIFY(ElapsedMs(after) >= 90); // waits for its time-out again
    }

    void blockingReapWaitsForTheNextFinishedUrb()
    {
        OneDevice<> bed;
        Node node(bed.path);
        uint8_t buffer[16] = {};
        usbdevfs_urb urb = BulkUrb(0x82, buffer, sizeof buffer);
        QCOMPARE(::ioctl(node.fd, USBDEVFS_SUBMITURB, &urb), 0);
        void* reaped = nullptr;
        QCOMPARE(::ioctl(node.fd, USBDEVFS_REAPURBNDELAY, &reaped), -1);
        QCOMPARE(errno, EAGAIN);

        std::thread push = PushLater(bed.testbed, bed.id, *bed.device, {1, 2, 3, 4, 5}, 150);
        const auto start = Clock::now();
        QCOMPARE(::ioctl(node.fd, USBDEVFS_REAPURB, &reaped), 0);
        push.join();
        QVERIFY(ElapsedMs(start) >= 140);
        QCOMPARE(reaped, static_cast<void*>(&urb));
        QCOMPARE(urb.status, 0);
        QCOMPARE(urb.actual_length, 5);
        QCOMPARE(buffer[4], uint8_t(5));
    }

    void discardedReadIsReapedWithEnoent()
    {
        OneDevice<> bed;
        Node node(bed.path);
        uint8_t buffer[16] = {};
        usbdevfs_urb urb = BulkUrb(0x82, buffer, sizeof buffer);
        QCOMPARE(::ioctl(node.fd, USBDEVFS_SUBMITURB, &urb), 0);
        QCOMPARE(::ioctl(node.fd, USBDEVFS_DISCARDURB, &urb), 0);
        void* reaped = nullptr;
        QCOMPARE(::ioctl(node.fd, USBDEVFS_REAPURB, &reaped), 0);
        QCOMPARE(urb.status, -ENOENT);
        QCOMPARE(::ioctl(node.fd, USBDEVFS_DISCARDURB, &urb), -1);
        QCOMPARE(errno, EINVAL);
    }

    void unplugEndsWaitingReadsAndLaterRequests()
    {
        OneDevice<> bed;
        Node node(bed.path);
        uint8_t buffer[16] = {};
        usbdevfs_urb urb = BulkUrb(0x82, buffer, sizeof buffer);
        QCOMPARE(::ioctl(node.fd, USBDEVFS_SUBMITURB, &urb), 0);
        bed.testbed.Unplug(bed.id);
        void* reaped = nullptr;
        QCOMPARE(::ioctl(node.fd, USBDEVFS_REAPURB, &reaped), 0);
        QCOMPARE(urb.status, -ESHUTDOWN);
        QCOMPARE(::ioctl(node.fd, USBDEVFS_REAPURB, &reaped), -1);
        QCOMPARE(errno, ENODEV);
        unsigned interface = 0;
        QCOMPARE(::ioctl(node.fd, USBDEVFS_CLAIMINTERFACE, &interface), -1);
        QCOMPARE(errno, ENODEV);
        QVERIFY(bed.testbed.IsUnplugged(bed.id));
    }

    void claimOfAClosedFileIsGone()
    {
        OneDevice<> bed;
        unsigned interface = 0;
        auto first = std::make_unique<Node>(bed.path);
        Node second(bed.path);
        QCOMPARE(::ioctl(first->fd, USBDEVFS_CLAIMINTERFACE, &interface), 0);
        QCOMPARE(::ioctl(second.fd, USBDEVFS_CLAIMINTERFACE, &interface), -1);
        first.reset(); // closed without a release
        QCOMPARE(ClaimWithin(second.fd, 2000, 10), 0);
    }

    void processEndingWithAWaitingUrbLeavesNoClaimBehind()
    {
        OneDevice<> bed;
        const pid_t child = fork();
        if (child == 0) {
            const int fd = ::open(bed.path.c_str(), O_RDWR);
            static uint8_t buffer[16];
            usbdevfs_urb urb = BulkUrb(0x82, buffer, sizeof buffer);
            _exit(::ioctl(fd, USBDEVFS_SUBMITURB, &urb) == 0 ? 0 : 1); // claims on the way, then waits
        }
        int status = 0;
        waitpid(child, &status, 0);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        Node node(bed.path);
        QCOMPARE(ClaimWithin(node.fd, 2000, 10), 0);
    }

    void processKilledInAWaitingReadLeavesNoClaimOnceTheReadEnds()
    {
        OneDevice<> bed;
        const pid_t child = fork();
        if (child == 0) {
            const int fd = ::open(bed.path.c_str(), O_RDWR);
            uint8_t buffer[8];
            usbdevfs_bulktransfer transfer{0x82, sizeof buffer, 400, buffer};
            ::ioctl(fd, USBDEVFS_BULK, &transfer);
            _exit(0);
        }
        QThread::msleep(150);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        Node node(bed.path);
        QCOMPARE(ClaimWithin(node.fd, 3000, 20), 0);
    }

    void synchronousWriteEndsShortOrStalls()
    {
        OneDevice<PartTakingDevice> bed;
        Node node(bed.path);
        uint8_t bytes[5] = {1, 2, 3, 4, 5};
        usbdevfs_bulktransfer transfer{0x02, sizeof bytes, 1000, bytes};
        QCOMPARE(::ioctl(node.fd, USBDEVFS_BULK, &transfer), 3);
        bed.device->SetStall(true);
        const auto start = Clock::now();
        QCOMPARE(::ioctl(node.fd, USBDEVFS_BULK, &transfer), -1);
        QCOMPARE(errno, EPIPE);
        QVERIFY(ElapsedMs(start) < 500); // a stall does not wait for the time-out
        QCOMPARE(bed.device->Taken(), (std::vector<uint8_t>{1, 2, 3}));
    }

    // URBs after one that ended short belong to a transfer that is over: they are
    // cancelled without reaching the device, until a URB starts the next transfer.
    void urbsContinuingAnEndedTransferAreCancelled()
    {
        OneDevice<PartTakingDevice> bed;
        Node node(bed.path);
        uint8_t first[4] = {1, 2, 3, 4};
        uint8_t second[4] = {5, 6, 7, 8};
        uint8_t next[2] = {9, 10};
        usbdevfs_urb urbs[3] = {BulkUrb(0x02, first, 4, 0), BulkUrb(0x02, second, 4, USBDEVFS_URB_BULK_CONTINUATION),
                                BulkUrb(0x02, next, 2, 0)};
        for (usbdevfs_urb& urb : urbs)
            QCOMPARE(::ioctl(node.fd, USBDEVFS_SUBMITURB, &urb), 0);
        for (usbdevfs_urb& urb : urbs) {
            usbdevfs_urb* reaped = nullptr;
            QCOMPARE(::ioctl(node.fd, USBDEVFS_REAPURB, &reaped), 0);
            QCOMPARE(reaped, &urb);
        }
        QCOMPARE(urbs[0].status, 0);
        QCOMPARE(urbs[0].actual_length, 3);
        QCOMPARE(urbs[1].status, -ECONNRESET);
        QCOMPARE(urbs[1].actual_length, 0);
        QCOMPARE(urbs[2].status, 0);
        QCOMPARE(urbs[2].actual_length, 2);
        QCOMPARE(bed.device->Taken(), (std::vector<uint8_t>{1, 2, 3, 9, 10}));
        QCOMPARE(bed.device->Continuations(), (std::vector<bool>{false, false}));
    }

    void nodeReadsTheDescriptorsFromTheStartOfEveryOpenFile()
    {
        OneDevice<> bed;
        for (int round = 0; round < 2; ++round) {
            Node node(bed.path);
            uint8_t bytes[64] = {};
            QCOMPARE(::read(node.fd, bytes, 18), ssize_t(18));
            QCOMPARE(bytes[8] | bytes[9] << 8, 0x1234);
            QCOMPARE(::read(node.fd, bytes, sizeof bytes), ssize_t(32));
            QCOMPARE(::read(node.fd, bytes, sizeof bytes), ssize_t(0));
            QCOMPARE(::write(node.fd, bytes, 4), ssize_t(-1));
            QCOMPARE(errno, EINVAL);
        }
    }

    // GLib detaches all weak references of an object before it calls the
    // first, so a node that stops watching while an earlier callback of the
    // client runs misses its own, which comes after the node is gone.
    void clientDroppedWhileTheTestbedGoesLeavesTheNodeAlone()
    {
        static ClientDrop drop; // a held callback may outlive a failed check
        auto testbed = std::make_unique<UsbTestbed>();
        const int id = testbed->AddDevice(Description(), std::make_shared<QueueDevice>());
        const guint connected = g_signal_lookup("client-connected", UMOCKDEV_TYPE_IOCTL_BASE);
        const gulong hook = g_signal_add_emission_hook(connected, 0, &ClientDrop::OnConnected, &drop, nullptr);
        const int fd = ::open(testbed->DevNode(id).c_str(), O_RDWR);
        unsigned interface = 0;
        const int claimed = ::ioctl(fd, USBDEVFS_CLAIMINTERFACE, &interface); // the node watches the client
        g_signal_remove_emission_hook(connected, hook);
        QCOMPARE(claimed, 0);
        {
            std::lock_guard<std::mutex> lock(drop.mutex);
            QVERIFY(drop.client);
            g_object_weak_ref(drop.client, &ClientDrop::OnLastCallback, &drop); // after the node's
        }
        ::close(fd); // umockdev's thread drops the client and is held
        QVERIFY(drop.WaitFor(&ClientDrop::dropping));
        testbed.reset();
        drop.Set(&ClientDrop::released);
        QVERIFY(drop.WaitFor(&ClientDrop::lastCallbackRan));
        QVERIFY(drop.heldUntilReleased);
    }
};

QTEST_GUILESS_MAIN(UsbfsNodeTest)
#include "tst_usbfsnode.moc"
