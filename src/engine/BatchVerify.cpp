#include "engine/BatchVerify.h"

#include "engine/TSmain.h"

BatchCounts RunBatchVerification(CTSmainDlg& engine, const char* user, const char* password,
                                 const std::function<bool(const CameraRecord&)>& include,
                                 const std::function<void(const BatchCounts&)>& progress,
                                 uint32_t quietMs, const std::function<bool()>& stop,
                                 std::vector<std::string>* asked) {
    EnginePorts& ports = engine.Ports();
    ports.EnsureThreadLanguage();
    engine.BeginVerifyAll(user, password);
    auto counts = [&] {
        return BatchCounts{engine.BatchSent(), engine.BatchOk(), engine.BatchFail()};
    };
    auto stopping = [&] { return stop && stop(); };
    auto report = [&] {
        if (progress) progress(counts());
    };
    for (const CameraRecord& copy : engine.CopyCameras()) {
        if (stopping()) break;
        if (copy.credentialsStored != 0 || !include(copy)) continue;
        if (!engine.WithCamera(copy.mac, [](CameraRecord& r) { r.status = 0; })) continue;
        engine.AddBatchSent();
        if (asked != nullptr) asked->push_back(copy.mac);
        if (copy.viaHttp == 1) {
            CameraReply info{};
            const HttpOutcome result = CheckCGI(ports, copy.ip, copy.httpPort, user, password, &info);
            if (result.Done()) {
                engine.AddBatchOk();
                engine.RecvCameraProcess(info);
            } else if (result.result == HttpResult::Refused || result.result == HttpResult::NotCamera) {
                // Refused, or answered by something that is not a camera of ours; a camera
                // out of reach is counted as no answer, not as a wrong password.
                engine.AddBatchFail();
                engine.WithCamera(copy.mac, [](CameraRecord& r) { SetStatus(&r, STATUS_AUTH_FAIL); });
            }
        } else {
            ports.SendPacketData(HEADER_IP_AUTHENTICATE, copy.mac, "", "", "");
        }
        report();
    }
    uint32_t clock = ports.Now();
    int lastOk = engine.BatchOk(), lastFail = engine.BatchFail();
    for (;;) {
        BatchCounts now = counts();
        if (now.ok != lastOk || now.fail != lastFail) {
            clock = ports.Now();
            lastOk = now.ok;
            lastFail = now.fail;
        }
        report();
        if (stopping() || !engine.SleepFor(1000)) break;
        now = counts();
        if (now.ok + now.fail >= now.sent) break;
        if (ports.Now() - clock >= quietMs) break;
    }
    engine.SetMode(MODE_SEARCH);
    return counts();
}

BatchOutcome BatchOutcomeOf(const CameraRecord& copy) {
    if (copy.credentialsStored != 0 || HasStatus(&copy, STATUS_AUTH_OK)) return BatchOutcome::Passed;
    return HasStatus(&copy, STATUS_AUTH_FAIL) ? BatchOutcome::Refused : BatchOutcome::NoAnswer;
}
