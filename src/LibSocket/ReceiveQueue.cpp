#include "LibSocket/ReceiveQueue.h"

#include <algorithm>
#include <utility>

ReceiveQueue::ReceiveQueue(size_t capacity) : capacity_(capacity), holding_(capacity + 2, 0) {}

void ReceiveQueue::Grew(size_t now) {
    if (now > 1)
        --holding_[now - 1];
    ++holding_[now];
    if (now > most_)
        most_ = now;
}

void ReceiveQueue::Shrank(size_t now) {
    --holding_[now + 1];
    if (now > 0)
        ++holding_[now];
    if (most_ == now + 1 && holding_[now + 1] == 0)
        most_ = now;
}

size_t ReceiveQueue::HeldBy(uint32_t source) const {
    auto found = lines_.find(source);
    return found == lines_.end() ? 0 : found->second.size();
}

uint32_t ReceiveQueue::Heaviest() {
    if (size_ == 0)
        return 0;
    // While one host floods, it stays the heaviest and no search is needed.
    if (HeldBy(heaviest_) != most_) {
        for (const auto& [source, line] : lines_) {
            if (line.size() == most_) {
                heaviest_ = source;
                break;
            }
        }
    }
    return heaviest_;
}

void ReceiveQueue::DropNewestOf(uint32_t source) {
    auto found = lines_.find(source);
    found->second.pop_back();
    --size_;
    Shrank(found->second.size());
    if (found->second.empty()) {
        lines_.erase(found);
        turns_.erase(std::find(turns_.begin(), turns_.end(), source));
    }
}

ReceiveQueue::Admission ReceiveQueue::Push(QueuedDatagram item) {
    const uint32_t source = item.datagram->source;
    Admission admission = Admission::Queued;
    if (size_ >= capacity_) {
        const size_t mine = HeldBy(source);
        const size_t senders = lines_.size() + (mine == 0 ? 1 : 0);
        if (capacity_ == 0 || mine >= capacity_ / senders)
            return Admission::DroppedNew;
        // Below an even share of a full queue: another sender holds more than this one.
        const uint32_t heaviest = Heaviest();
        if (HeldBy(heaviest) <= mine)
            return Admission::DroppedNew;  // cannot happen while the counts add up
        DropNewestOf(heaviest);
        admission = Admission::DroppedQueued;
    }
    std::deque<QueuedDatagram>& line = lines_[source];
    if (line.empty())
        turns_.push_back(source);
    line.push_back(std::move(item));
    ++size_;
    Grew(line.size());
    if (line.size() == most_)
        heaviest_ = source;
    return admission;
}

bool ReceiveQueue::Pop(QueuedDatagram& out) {
    if (turns_.empty())
        return false;
    const uint32_t source = turns_.front();
    turns_.pop_front();
    auto found = lines_.find(source);
    out = std::move(found->second.front());
    found->second.pop_front();
    --size_;
    Shrank(found->second.size());
    if (found->second.empty())
        lines_.erase(found);
    else
        turns_.push_back(source);  // its next datagram waits for everyone else's turn
    return true;
}

void ReceiveQueue::Clear() {
    lines_.clear();
    turns_.clear();
    size_ = 0;
    std::fill(holding_.begin(), holding_.end(), 0);
    most_ = 0;
    heaviest_ = 0;
}
