#include "LibSocket/SocketProcess.h"

#include <chrono>
#include <cstring>
#include <new>

#include "common/stdafx.h"

int BuildAdapterTable(const std::vector<tarsel::Ipv4Interface>& interfaces,
                      AdapterEntry (&table)[kMaxAdapters]) {
    int count = 0;
    for (const tarsel::Ipv4Interface& entry : interfaces) {
        if (count == kMaxAdapters)
            break;
        if (!entry.up || entry.loopback)
            continue;
        if (entry.addressText.empty() || entry.addressText == "0.0.0.0")
            continue;
        AdapterEntry& adapter = table[count++];
        std::memset(&adapter, 0, sizeof adapter);
        CopyTruncated(adapter.addressText, entry.addressText.c_str());
        CopyTruncated(adapter.name, entry.name.c_str());
    }
    return count;
}

CSocketProcess::CSocketProcess(const EngineCallback* engineCallback, RecvHandler handler,
                               const HubOptions& options, RecvFilter filter)
    : options_(options), handler_(handler), receiver_(std::make_unique<CSocketRecv>()) {
    receiver_->SetFilter(filter);
    if (options_.refuseDeviceBinding)
        receiver_->RefuseDeviceBinding();
    if (engineCallback != nullptr)
        callback_ = *engineCallback;
    if (options_.adapters) {
        for (const AdapterEntry& entry : *options_.adapters) {
            if (adapterCount_ == kMaxAdapters)
                break;
            adapters_[adapterCount_++] = entry;
        }
    } else {
        adapterCount_ = BuildAdapterTable(tarsel::ListIpv4Interfaces(), adapters_);
    }
    sendThread_ = std::thread(Thread_CheckSendInfo, this);
}

CSocketProcess::~CSocketProcess() {
    if (running_) {
        running_ = 0;
        receiver_->StopDispatch();
        {
            std::lock_guard wakeLock(wakeMutex_);
            wake_.notify_all();
        }
        if (sendThread_.joinable())
            sendThread_.join();
    }
    receiver_.reset();  // waits for its threads; undelivered datagrams are dropped
    std::lock_guard queueLock(lock_);
    sendQueue_.clear();  // jobs still queued are not sent
}

void CSocketProcess::OpenReceivers() {
    for (int i = 0; i < adapterCount_; ++i) {
        receiver_->CreateRecvSocket(options_.recvTransport, &adapters_[i], options_.recvPort,
                                    &callback_, handler_);
    }
}

int CSocketProcess::QueueSend(int transport, uint32_t port, uint32_t adapterIndex,
                              const unsigned char* data, int length) {
    if (length < 0 || adapterIndex >= static_cast<uint32_t>(adapterCount_))
        return -1;
    std::unique_ptr<SendJob> job(new (std::nothrow) SendJob);
    if (!job)
        return -1;
    job->bytes.reset(new (std::nothrow) unsigned char[length > 0 ? length : 1]);
    if (!job->bytes)
        return -1;
    if (length > 0)
        std::memcpy(job->bytes.get(), data, static_cast<size_t>(length));
    job->transport = transport;
    job->port = port;
    job->adapterIndex = adapterIndex;
    job->length = length;
    std::lock_guard queueLock(lock_);
    sendQueue_.push_back(std::move(job));
    return 0;
}

size_t CSocketProcess::QueuedSendCount() {
    std::lock_guard queueLock(lock_);
    return sendQueue_.size();
}

void CSocketProcess::Pause(int milliseconds) {
    std::unique_lock wakeLock(wakeMutex_);
    wake_.wait_for(wakeLock, std::chrono::milliseconds(milliseconds),
                   [this] { return running_.load() == 0; });
}

void Thread_CheckSendInfo(CSocketProcess* hub) {
    while (hub->running_) {
        std::unique_ptr<SendJob> job;
        {
            std::lock_guard queueLock(hub->lock_);
            if (!hub->sendQueue_.empty()) {
                job = std::move(hub->sendQueue_.front());
                hub->sendQueue_.pop_front();
            }
        }
        if (job) {
            const char* address = hub->adapters_[job->adapterIndex].addressText;
            if (hub->options_.send) {
                hub->options_.send(job->transport, address, job->port, job->bytes.get(),
                                   job->length);
            } else {
                hub->sender_.SendPacket(job->transport, address, job->port, job->bytes.get(),
                                        job->length);
            }
            job.reset();
            hub->Pause(hub->options_.sendGapMs);
        } else {
            hub->Pause(hub->options_.sendIdleMs);
        }
    }
}
