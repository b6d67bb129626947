// The open files of a usbfs node coming and going.
#include "usbfsnode.h"

#include <algorithm>
#include <memory>

namespace ovraemu {

void UsbfsNode::OnClientConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
{
    auto* node = static_cast<UsbfsNode*>(self);
    std::lock_guard<std::mutex> reads(node->readMutex_);
    std::lock_guard<std::mutex> lock(node->mutex_);
    if (node->shutDown_)
        return;
    g_object_weak_ref(G_OBJECT(client), &UsbfsNode::OnClientDropped, node->watch_);
    node->ForgetDroppedClients();
    node->ForgetClient(client); // a new file starts afresh
}

void UsbfsNode::OnClientVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
{
    auto* node = static_cast<UsbfsNode*>(self);
    std::lock_guard<std::mutex> reads(node->readMutex_);
    std::lock_guard<std::mutex> lock(node->mutex_);
    node->ForgetClient(client);
}

// Runs on whichever thread drops the last reference; only notes the address,
// which stays unused until the note is taken (a new client at the same
// address is announced through OnClientConnected, which takes it first).
void UsbfsNode::OnClientDropped(gpointer watch, GObject* client)
{
    auto* pWatch = static_cast<ClientWatch*>(watch);
    std::lock_guard<std::mutex> listening(pWatch->mutex);
    UsbfsNode* node = pWatch->node;
    if (!node)
        return;
    auto* dropped = reinterpret_cast<UMockdevIoctlClient*>(client);
    std::lock_guard<std::mutex> lock(node->droppedMutex_);
    node->dropped_.push_back(dropped);
}

UsbfsNode::ClientWatch* UsbfsNode::NewClientWatch(UsbfsNode* node)
{
    // Kept for the whole process: a late callback may still come.
    static std::mutex registryMutex;
    static std::vector<std::unique_ptr<ClientWatch>> registry;
    std::lock_guard<std::mutex> lock(registryMutex);
    registry.emplace_back(new ClientWatch{{}, node});
    return registry.back().get();
}

// The weak references stay on the clients: taking them back could reach a client that
// is being freed, and a callback through them finds nobody listening any more.
void UsbfsNode::StopWatchingClients()
{
    std::lock_guard<std::mutex> listening(watch_->mutex);
    watch_->node = nullptr;
}

// Also forgets the files closed while a synchronous transfer of theirs waited
// (the transfer holds the client object, so it is not dropped before).
void UsbfsNode::ForgetDroppedClients()
{
    std::vector<UMockdevIoctlClient*> gone;
    {
        std::lock_guard<std::mutex> lock(droppedMutex_);
        gone.swap(dropped_);
    }
    for (const WaitingRead& read : waiting_) {
        if (read.sync && !umockdev_ioctl_client_get_connected(read.client))
            gone.push_back(read.client);
    }
    for (const auto& write : stalledWrites_) {
        if (!umockdev_ioctl_client_get_connected(write->client.get()))
            gone.push_back(write->client.get());
    }
    for (UMockdevIoctlClient* client : gone)
        ForgetClient(client);
}

// Drops the claims, URBs and waiting requests of one file; nothing is
// completed. The waiting requests of a file hold its client object, so they
// never belong to a dropped one.
void UsbfsNode::ForgetClient(UMockdevIoctlClient* client)
{
    files_.erase(client);
    for (auto it = claims_.begin(); it != claims_.end();)
        it = it->second == client ? claims_.erase(it) : std::next(it);
    waiting_.erase(std::remove_if(waiting_.begin(), waiting_.end(),
                                  [client](const WaitingRead& read) { return read.client == client; }),
                   waiting_.end());
    stalledWrites_.erase(std::remove_if(stalledWrites_.begin(), stalledWrites_.end(),
                                        [client](const std::unique_ptr<SyncTransfer>& write) {
                                            return write->client.get() == client;
                                        }),
                         stalledWrites_.end());
    held_.erase(std::remove_if(held_.begin(), held_.end(),
                               [client](const HeldUrb& held) { return held.client == client; }),
                held_.end());
}

} // namespace ovraemu
