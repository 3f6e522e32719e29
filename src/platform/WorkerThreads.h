#pragma once
// The worker threads the window starts for work that may wait on a camera (an HTTP
// verification, a setting or a command sent over HTTP, the batch verification), so that a
// slow camera never freezes the window. A worker reports back by queueing a call to a
// QObject of the window's thread (QMetaObject::invokeMethod with that object as context);
// Qt drops such a call when its object is gone. JoinAll waits for every worker: call it
// before destroying anything a worker uses (the engine).

#include <atomic>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

class CWindowWorkers {
public:
    CWindowWorkers() = default;
    ~CWindowWorkers() { JoinAll(); }
    CWindowWorkers(const CWindowWorkers&) = delete;
    CWindowWorkers& operator=(const CWindowWorkers&) = delete;

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
