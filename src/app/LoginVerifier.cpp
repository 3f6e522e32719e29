#include "app/LoginVerifier.h"

#include <atomic>

#include "common/stdafx.h"
#include "engine/OnvifEntry.h"
#include "engine/TSmain.h"

namespace {
constexpr int kDefaultTimeoutMs = 12000;  // above an HTTP verification's own time-outs
}

// The context the engine reads and hands back; the engine sees only its VerifyContext.
struct CLoginVerifier::Attempt : VerifyContext {
    std::string key;  // the MAC, or an ONVIF device's entry key (too long for `mac`)
    uint64_t serial = 0;
    CLoginVerifier* owner = nullptr;
    std::atomic<bool> withdrawn{false};
};

CLoginVerifier::CLoginVerifier(CTSmainDlg* engine, QObject* parent) : QObject(parent), m_engine(engine) {
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(kDefaultTimeoutMs);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        if (m_current == nullptr) return;
        VerifyAnswer answer{m_current->key, m_current->user, m_current->password, false, true, {}};
        TLOG_WARNING("(%s:%d)%s, Verify timeout", m_current->key.c_str());
        Withdraw();
        if (onAnswer) onAnswer(answer);
    });
}

CLoginVerifier::~CLoginVerifier() {
    Withdraw();
    m_workers.JoinAll();
}

void CLoginVerifier::Start(const char* mac, const char* user, const char* password) {
    Withdraw();
    auto attempt = std::make_shared<Attempt>();
    attempt->key = mac;
    const bool onvif = IsOnvifKey(attempt->key);
    if (!onvif) BoundedCopy(attempt->mac, mac, "CLoginVerifier::Start", __LINE__);
    BoundedCopy(attempt->user, user, "CLoginVerifier::Start", __LINE__);
    BoundedCopySecret(attempt->password, password, "CLoginVerifier::Start", __LINE__);
    attempt->serial = ++m_serial;
    attempt->owner = this;
    m_current = attempt;
    m_timeout.start();
    CTSmainDlg* engine = m_engine;
    if (onvif) {
        m_workers.Start([engine, attempt] {
            using tarsel::onvif::OnvifOutcome;
            std::string reason;
            const OnvifOutcome outcome = engine->VerifyOnvif(attempt->key, attempt->user, attempt->password, &reason);
            if (attempt->withdrawn.load()) return;
            const int ok = outcome == OnvifOutcome::Verified ? 1 : outcome == OnvifOutcome::NoAnswer ? VERIFY_NO_ANSWER : 0;
            if (outcome != OnvifOutcome::BadAnswer && outcome != OnvifOutcome::OtherHost) reason.clear();
            else if (reason.empty()) reason = OnvifOutcomeText(outcome);
            CLoginVerifier* owner = attempt->owner;
            const uint64_t serial = attempt->serial;
            QMetaObject::invokeMethod(owner, [owner, serial, ok, reason] { owner->Answer(serial, ok, reason); },
                                      Qt::QueuedConnection);
        });
        return;
    }
    m_workers.Start([engine, attempt] {
        engine->VerifyCamera(&CLoginVerifier::OnEngineResult, attempt.get());
        // Withdrawn while the request was being made: the engine may have taken the
        // context after the withdrawal, so withdraw it again before it is let go.
        if (attempt->withdrawn.load()) engine->CancelVerify(attempt.get());
    });
}

std::string CLoginVerifier::PendingMac() const { return m_current != nullptr ? m_current->key : ""; }

void CLoginVerifier::Cancel() {
    m_timeout.stop();
    Withdraw();
}

void CLoginVerifier::Withdraw() {
    if (m_current == nullptr) return;
    m_current->withdrawn.store(true);
    // Waits for a callback already running; none comes for this context afterwards.
    m_engine->CancelVerify(m_current.get());
    m_current.reset();
}

void CLoginVerifier::OnEngineResult(VerifyContext* context, int ok) {
    auto* attempt = static_cast<Attempt*>(context);
    if (attempt->withdrawn.load()) return;
    CLoginVerifier* owner = attempt->owner;
    const uint64_t serial = attempt->serial;
    QMetaObject::invokeMethod(owner, [owner, serial, ok] { owner->Answer(serial, ok); }, Qt::QueuedConnection);
}

void CLoginVerifier::Answer(uint64_t serial, int ok, const std::string& otherFailure) {
    // An answer of an attempt withdrawn or replaced since is not this attempt's.
    if (m_current == nullptr || m_current->serial != serial) return;
    m_timeout.stop();
    VerifyAnswer answer{m_current->key, m_current->user, m_current->password, ok == 1,
                        ok == VERIFY_NO_ANSWER, otherFailure};
    Withdraw();
    if (onAnswer) onAnswer(answer);
}
