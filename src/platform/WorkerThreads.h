#pragma once
// Worker threads for work that may wait on a camera (an HTTP verification, a setting or a
// command sent over HTTP, a batch verification, the engine's confirmation and re-query
// rounds), so that a slow camera never holds up the thread that asked. Threads that ended
// are reaped at the next start. JoinAll waits for every worker: call it before destroying
// anything a worker uses. (The window's workers report back by queueing a call to a QObject
// of its thread; Qt drops such a call when its object is gone.)

#include <atomic>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

class CWorkerThreads {
public:
    CWorkerThreads() = default;
    ~CWorkerThreads() { JoinAll(); }
    CWorkerThreads(const CWorkerThreads&) = delete;
    CWorkerThreads& operator=(const CWorkerThreads&) = delete;

    // Runs body on a thread of its own; threads that ended are reaped first.
    void Start(std::function<void()> body);
    // Asks running workers to stop (Stopping() turns true) and waits for all of them.
    void JoinAll();
    bool Stopping() const { return m_stopping.load(); }
    int Running();

private:
    struct Worker {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void ReapLocked();

    std::mutex m_lock;
    std::list<Worker> m_workers;
    std::atomic<bool> m_stopping{false};
};
