#include "onvif/OnvifClient.h"

#include "common/stdafx.h"
#include "onvif/OnvifHttp.h"
#include "onvif/OnvifXml.h"
#include "onvif/WsDiscovery.h"

namespace tarsel::onvif {

const char* OnvifOutcomeText(OnvifOutcome outcome) {
    switch (outcome) {
    case OnvifOutcome::Verified: return "verified";
    case OnvifOutcome::CredentialsRefused: return "credentials refused";
    case OnvifOutcome::NoAnswer: return "no answer";
    case OnvifOutcome::BadAnswer: return "bad answer";
    case OnvifOutcome::OtherHost: return "service on another host";
    }
    return "?";
}

namespace {

// One request's result, with the answer read when one came.
struct Call {
    OnvifOutcome outcome = OnvifOutcome::BadAnswer;
    SoapAnswer answer;
    std::string reason;
};

class Session {
public:
    Session(const std::string& user, const std::string& password, OnvifFacts& facts,
            const OnvifClientOptions& options)
        : user_(user), password_(password), facts_(facts), options_(options) {}

    // One request. Authenticated requests carry a UsernameToken; when the device answers
    // 401, the same request goes again with HTTP Digest, which the rest of the session
    // then keeps.
    Call Run(const std::string& url, const std::string& body, bool authenticated) {
        Call call;
        for (int attempt = 0; attempt < 3; ++attempt) {
            std::string header;
            if (authenticated) {
                header = SecurityHeader(user_, password_, ownClock_ ? std::chrono::milliseconds(0) : facts_.clockOffset);
                if (header.empty()) {
                    call.reason = "no random bytes for the nonce";
                    return call;
                }
            }
            const bool digest = authenticated && facts_.httpDigest;
            const SoapTransfer http = PostSoap(url, SoapEnvelope(header, body), digest ? user_.c_str() : nullptr,
                                              digest ? password_.c_str() : nullptr, options_.requestTimeoutMs);
            if (http.kind == SoapTransfer::Kind::NoAnswer) {
                call.outcome = OnvifOutcome::NoAnswer;
                call.reason = http.detail;
                return call;
            }
            if (http.kind != SoapTransfer::Kind::Answered) {
                call.reason = http.kind == SoapTransfer::Kind::TooLarge ? "answer over 1 MiB" : http.detail;
                return call;
            }
            if (http.status == 401) {
                if (authenticated && !facts_.httpDigest) {
                    facts_.httpDigest = true;
                    continue;
                }
                call.outcome = authenticated ? OnvifOutcome::CredentialsRefused : OnvifOutcome::BadAnswer;
                call.reason = "HTTP 401";
                return call;
            }
            if (http.status == 403 && authenticated) {
                call.outcome = OnvifOutcome::CredentialsRefused;
                call.reason = "HTTP 403";
                return call;
            }
            ReadSoapAnswer(http.body, call.answer);
            switch (call.answer.status) {
            case SoapStatus::Ok:
                call.outcome = http.status == 200 ? OnvifOutcome::Verified : OnvifOutcome::BadAnswer;
                call.reason = "HTTP " + std::to_string(http.status);
                break;
            case SoapStatus::AuthFault:
                // Some devices write their local time where UTC belongs: a token dated by
                // that clock is refused although the password is right. Once, try ours.
                if (facts_.clockOffset.count() != 0 && !ownClock_) {
                    ownClock_ = true;
                    continue;
                }
                call.outcome = OnvifOutcome::CredentialsRefused;
                call.reason = "fault: " + call.answer.reason;
                break;
            default:
                call.outcome = OnvifOutcome::BadAnswer;
                call.reason = (call.answer.status == SoapStatus::Fault ? "fault: " : "") + call.answer.reason;
            }
            return call;
        }
        return call;
    }

private:
    const std::string& user_;
    const std::string& password_;
    OnvifFacts& facts_;
    const OnvifClientOptions& options_;
    bool ownClock_ = false;  // tokens dated by our clock, the device's reported one failed
};

bool OnHost(const std::string& url, const std::string& ownAddress) {
    return !ownAddress.empty() && UrlHost(url) == ownAddress;
}

}  // namespace

OnvifOutcome ReadOnvifFacts(const std::string& xaddr, const std::string& ownAddress,
                            const std::string& user, const std::string& password, OnvifFacts& facts,
                            std::string* reason, const OnvifClientOptions& options) {
    std::string ignored;
    std::string& why = reason != nullptr ? *reason : ignored;
    if (!OnHost(xaddr, ownAddress)) {
        why = "service address " + xaddr + " is not on " + ownAddress;
        TLOG_WARNING("(%s:%d) ONVIF device at %s: no credentials sent to %s", ownAddress.c_str(), xaddr.c_str());
        return OnvifOutcome::OtherHost;
    }
    Session session(user, password, facts, options);

    // The clock first, without credentials: a device whose clock is off refuses a token
    // whose Created time is ours.
    const auto sentAt = std::chrono::system_clock::now();
    Call clock = session.Run(xaddr, "<tds:GetSystemDateAndTime/>", false);
    if (clock.outcome == OnvifOutcome::NoAnswer) {
        why = "GetSystemDateAndTime: " + clock.reason;
        return OnvifOutcome::NoAnswer;
    }
    if (clock.outcome == OnvifOutcome::Verified) {
        if (const auto device = ParseSystemDateAndTime(clock.answer.body)) {
            // Our clock at the middle of the exchange is the best match for the device's.
            const auto now = std::chrono::system_clock::now();
            const auto middle = sentAt + (now - sentAt) / 2;
            const int64_t ours = std::chrono::duration_cast<std::chrono::milliseconds>(middle.time_since_epoch()).count();
            facts.clockOffset = std::chrono::milliseconds(*device - ours);
            facts.clockKnown = true;
        }
    }

    Call info = session.Run(xaddr, "<tds:GetDeviceInformation/>", true);
    if (info.outcome != OnvifOutcome::Verified || !ParseDeviceInformation(info.answer.body, facts.info)) {
        why = "GetDeviceInformation: " + info.reason;
        return info.outcome == OnvifOutcome::Verified ? OnvifOutcome::BadAnswer : info.outcome;
    }

    // The rest is what there is to show; a device that lacks one part is still verified.
    Call net = session.Run(xaddr, "<tds:GetNetworkInterfaces/>", true);
    if (net.outcome == OnvifOutcome::Verified)
        facts.interfaceKnown = ParseNetworkInterfaces(net.answer.body, facts.network);

    Call caps = session.Run(xaddr, "<tds:GetCapabilities><tds:Category>All</tds:Category></tds:GetCapabilities>", true);
    if (caps.outcome == OnvifOutcome::Verified)
        facts.mediaXAddr = ParseMediaXAddr(caps.answer.body);
    if (facts.mediaXAddr.empty()) {
        Call services = session.Run(xaddr, "<tds:GetServices><tds:IncludeCapability>false</tds:IncludeCapability></tds:GetServices>", true);
        if (services.outcome == OnvifOutcome::Verified)
            facts.mediaXAddr = ParseMediaXAddr(services.answer.body);
    }
    if (facts.mediaXAddr.empty()) {
        why = "no media service";
        return OnvifOutcome::Verified;
    }
    if (!OnHost(facts.mediaXAddr, ownAddress)) {
        facts.snapshotOtherHost = true;
        TLOG_WARNING("(%s:%d) ONVIF device at %s: no credentials sent to its media service %s",
                     ownAddress.c_str(), facts.mediaXAddr.c_str());
        why = "media service on another host";
        return OnvifOutcome::Verified;
    }
    Call profiles = session.Run(facts.mediaXAddr, "<trt:GetProfiles/>", true);
    if (profiles.outcome == OnvifOutcome::Verified)
        facts.profileToken = ParseFirstProfileToken(profiles.answer.body);
    if (facts.profileToken.empty()) {
        why = "no media profile";
        return OnvifOutcome::Verified;
    }
    Call uri = session.Run(facts.mediaXAddr,
                           "<trt:GetSnapshotUri><trt:ProfileToken>" + XmlEscape(facts.profileToken) +
                               "</trt:ProfileToken></trt:GetSnapshotUri>",
                           true);
    if (uri.outcome == OnvifOutcome::Verified)
        facts.snapshotUri = ParseSnapshotUri(uri.answer.body);
    if (!facts.snapshotUri.empty() && !OnHost(facts.snapshotUri, ownAddress)) {
        facts.snapshotOtherHost = true;
        TLOG_WARNING("(%s:%d) ONVIF device at %s: no credentials sent to its snapshot URI %s",
                     ownAddress.c_str(), facts.snapshotUri.c_str());
    }
    return OnvifOutcome::Verified;
}

int FetchOnvifSnapshot(const OnvifFacts& facts, const std::string& ownAddress, const std::string& user,
                       const std::string& password, CurlBuffer& picture) {
    if (facts.snapshotUri.empty() || facts.snapshotOtherHost || !OnHost(facts.snapshotUri, ownAddress))
        return -2;
    return FetchSnapshot(facts.snapshotUri, user.c_str(), password.c_str(), picture);
}

}  // namespace tarsel::onvif
