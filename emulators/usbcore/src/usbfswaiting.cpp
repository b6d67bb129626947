// Requests of a usbfs node that wait: bulk reads for the device's data,
// refused writes, unanswered control requests and synchronous reads for their
// time-outs, blocking reaps for a finished URB, held URBs for the host or the
// device's leaving. Their completions are collected under the locks and handed
// to umockdev once no lock is held.
#include "transferhelpers.h"
#include "usbfsnode.h"

#include <cerrno>

namespace ovraemu {
namespace {

constexpr std::chrono::seconds kDrainTime{2};

template <typename TimePoint>
void KeepEarliest(std::optional<TimePoint>& earliest, const std::optional<TimePoint>& candidate)
{
    if (candidate && (!earliest || *candidate < *earliest))
        earliest = candidate;
}

} // namespace

void UsbfsNode::ServeWaitingReads()
{
    Serve();
    FlushCompletions();
    WakeTimer();
}

void UsbfsNode::Serve()
{
    bool deviceLeft = false;
    std::deque<WaitingRead> abandoned; // released once no lock is held
    {
        std::lock_guard<std::mutex> reads(readMutex_);
        std::deque<WaitingRead> pending;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ForgetDroppedClients();
            if (disconnected_ || shutDown_ || waiting_.empty())
                return;
            pending.swap(waiting_);
        }
        std::deque<WaitingRead> kept;
        for (WaitingRead& read : pending) {
            if (read.sync && !umockdev_ioctl_client_get_connected(read.sync->client.get()))
                abandoned.push_back(std::move(read)); // the file was closed while its read waited
            else if (!TryRead(read))
                kept.push_back(std::move(read));
        }
        deviceLeft = !kept.empty() && model_->HasLeftBus();
        std::lock_guard<std::mutex> lock(mutex_);
        // Reads that arrived meanwhile queue up behind the older ones.
        for (WaitingRead& read : waiting_)
            kept.push_back(std::move(read));
        waiting_.swap(kept);
    }
    if (deviceLeft)
        LeaveBus();
}

// Called with readMutex_ held.
bool UsbfsNode::TryRead(WaitingRead& read)
{
    if (read.urb) {
        Urb& urb = *read.urb;
        const size_t capacity = static_cast<size_t>(urb.Fields()->buffer_length);
        const auto reply = model_->BulkIn(urb.Fields()->endpoint, capacity);
        if (!reply)
            return false;
        urb.Finish(0, static_cast<int>(urb.Data() ? CopyReply(*reply, urb.Data(), capacity) : 0));
        Complete(read.client, std::move(read.urb));
        return true;
    }
    SyncTransfer& transfer = *read.sync;
    const auto reply = model_->BulkIn(transfer.endpoint, transfer.length);
    if (!reply)
        return false;
    const size_t count = CopyReply(*reply, transfer.buffer->data, transfer.length);
    std::lock_guard<std::mutex> lock(mutex_);
    ClientRef client = std::move(transfer.client);
    completions_.push_back({std::move(client), static_cast<long>(count), 0, nullptr, std::move(read.sync)});
    return true;
}

void UsbfsNode::ExpireDeadlines()
{
    const Clock::time_point now = Clock::now();
    const auto expired = [now](const SyncTransfer& transfer) { return transfer.deadline && *transfer.deadline <= now; };
    std::lock_guard<std::mutex> reads(readMutex_);
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = waiting_.begin(); it != waiting_.end();) {
        if (it->sync && expired(*it->sync)) {
            ClientRef client = std::move(it->sync->client);
            completions_.push_back({std::move(client), -1, ETIMEDOUT, nullptr, std::move(it->sync)});
            it = waiting_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = stalledWrites_.begin(); it != stalledWrites_.end();) {
        if (expired(**it)) {
            ClientRef client = std::move((*it)->client);
            completions_.push_back({std::move(client), -1, ETIMEDOUT, nullptr, std::move(*it)});
            it = stalledWrites_.erase(it);
        } else {
            ++it;
        }
    }
}

std::optional<UsbfsNode::Clock::time_point> UsbfsNode::NextWakeTime() const
{
    std::optional<Clock::time_point> next;
    bool readsWait = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const WaitingRead& read : waiting_) {
            if (read.sync)
                KeepEarliest(next, read.sync->deadline);
        }
        for (const auto& write : stalledWrites_)
            KeepEarliest(next, write->deadline);
        readsWait = !waiting_.empty() && !disconnected_;
    }
    if (readsWait)
        KeepEarliest(next, model_->NextDataTime());
    return next;
}

void UsbfsNode::TimerLoop()
{
    for (;;) {
        const auto next = NextWakeTime();
        {
            std::unique_lock<std::mutex> lock(timerMutex_);
            const auto woken = [this] { return timerStopping_ || timerWakeRequested_; };
            if (next)
                timerWake_.wait_until(lock, *next, woken);
            else
                timerWake_.wait(lock, woken);
            if (timerStopping_)
                return;
            timerWakeRequested_ = false;
        }
        ExpireDeadlines();
        Serve();
        FlushCompletions();
    }
}

void UsbfsNode::WakeTimer()
{
    {
        std::lock_guard<std::mutex> lock(timerMutex_);
        timerWakeRequested_ = true;
    }
    timerWake_.notify_one();
}

void UsbfsNode::FlushCompletions()
{
    std::vector<Completion> ready;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ready.swap(completions_);
    }
    for (const Completion& completion : ready)
        umockdev_ioctl_client_complete(completion.client.get(), completion.result, completion.error);
}

// Every waiting request ends: URBs with urbStatus, the others with error.
void UsbfsNode::EndEverything(int urbStatus, int error)
{
    std::deque<WaitingRead> reads;
    std::deque<std::unique_ptr<SyncTransfer>> writes;
    std::deque<HeldUrb> held;
    {
        std::lock_guard<std::mutex> readLock(readMutex_);
        std::lock_guard<std::mutex> lock(mutex_);
        reads.swap(waiting_);
        writes.swap(stalledWrites_);
        held.swap(held_);
    }
    for (HeldUrb& urb : held) {
        urb.urb->Finish(urbStatus, urb.taken);
        Complete(urb.client, std::move(urb.urb));
    }
    for (WaitingRead& read : reads) {
        if (read.urb) {
            read.urb->Finish(urbStatus, 0);
            Complete(read.client, std::move(read.urb));
        } else {
            writes.push_back(std::move(read.sync));
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& transfer : writes) {
            ClientRef client = std::move(transfer->client);
            completions_.push_back({std::move(client), -1, error, nullptr, std::move(transfer)});
        }
        for (auto& entry : files_) {
            for (WaitingReap& reap : entry.second.reaps)
                completions_.push_back({std::move(reap.client), -1, error, nullptr, nullptr});
            entry.second.reaps.clear();
        }
    }
    FlushCompletions();
}

UsbfsNode::Outcome UsbfsNode::Drain(bool on)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        drainUntil_.reset();
        if (on)
            drainUntil_ = Clock::now() + kDrainTime;
    }
    if (on)
        EndWaitingSyncReads(ETIMEDOUT);
    return {};
}

bool UsbfsNode::Draining() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return drainUntil_ && Clock::now() < *drainUntil_;
}

void UsbfsNode::EndWaitingSyncReads(int error)
{
    {
        std::lock_guard<std::mutex> reads(readMutex_);
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = waiting_.begin(); it != waiting_.end();) {
            if (it->sync) {
                ClientRef client = std::move(it->sync->client);
                completions_.push_back({std::move(client), -1, error, nullptr, std::move(it->sync)});
                it = waiting_.erase(it);
            } else {
                ++it;
            }
        }
    }
    FlushCompletions();
}

// The device model left the bus by itself.
void UsbfsNode::LeaveBus()
{
    Disconnect();
    std::function<void()> listener;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        listener = leftBusListener_;
    }
    if (listener)
        listener();
}

} // namespace ovraemu
