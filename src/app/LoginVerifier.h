#pragma once
// Runs the login panel's verifications for the window. Each attempt has a context of its
// own that names the camera it asked about (its MAC) and is answered on the window's
// thread for that camera, whatever the panel shows by then. A new attempt, Cancel, a
// time-out and the destructor first withdraw the attempt before from the engine, so that
// no answer for it arrives afterwards and the engine never holds a context that is gone.
//
// Threads: Start, Cancel and the answer run on the object's thread; the engine's request
// runs on a worker (over HTTP it waits for the camera); the engine's callback, on the
// receiver's thread or that worker, only queues the answer to this object. An ONVIF device
// (an entry key in the MAC's place) is read by the engine's blocking VerifyOnvif on that
// worker; withdrawn, its read still ends by itself within seconds, and its answer is dropped.

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "platform/WorkerThreads.h"

class CTSmainDlg;
struct VerifyContext;

struct VerifyAnswer {
    std::string mac, user, password;
    bool ok = false;
    bool timedOut = false;  // no answer within the time-out, or the camera unreachable
    // Neither accepted, refused nor silent (an ONVIF device's unusable answer, or a service
    // address on another host): what the engine said, "" otherwise.
    std::string otherFailure;
};

class CLoginVerifier : public QObject {
    Q_OBJECT
public:
    explicit CLoginVerifier(CTSmainDlg* engine, QObject* parent = nullptr);
    ~CLoginVerifier() override;

    // Withdraws the attempt under way, then asks the camera of `mac`.
    void Start(const char* mac, const char* user, const char* password);
    // Withdraws the attempt under way; nothing is answered for it.
    void Cancel();
    bool Pending() const { return m_current != nullptr; }
    // The camera of the attempt under way ("" when none).
    std::string PendingMac() const;
    void SetTimeoutMs(int ms) { m_timeout.setInterval(ms); }

    // Called on this object's thread with the answer of the attempt under way.
    std::function<void(const VerifyAnswer&)> onAnswer;

private:
    struct Attempt;
    static void OnEngineResult(VerifyContext* context, int ok);
    void Answer(uint64_t serial, int ok, const std::string& otherFailure = {});
    void Withdraw();

    CTSmainDlg* m_engine;
    std::shared_ptr<Attempt> m_current;
    uint64_t m_serial = 0;
    QTimer m_timeout;
    CWorkerThreads m_workers;  // joined before the members above go
};
