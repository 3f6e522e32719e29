#include "platform/WorkerThreads.h"

void CWorkerThreads::ReapLocked() {
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (it->done.load()) {
            it->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
}

void CWorkerThreads::Start(std::function<void()> body) {
    std::lock_guard<std::mutex> guard(m_lock);
    ReapLocked();
    if (m_stopping.load()) return;
    Worker& worker = m_workers.emplace_back();
    worker.thread = std::thread([body = std::move(body), done = &worker.done] {
        body();
        done->store(true);
    });
}

void CWorkerThreads::JoinAll() {
    m_stopping.store(true);
    std::list<Worker> workers;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        workers.splice(workers.end(), m_workers);
    }
    for (Worker& worker : workers)
        if (worker.thread.joinable()) worker.thread.join();
}

int CWorkerThreads::Running() {
    std::lock_guard<std::mutex> guard(m_lock);
    ReapLocked();
    return static_cast<int>(m_workers.size());
}
