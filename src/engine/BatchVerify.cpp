#include "engine/BatchVerify.h"

#include "engine/TSmain.h"

BatchCounts RunBatchVerification(CTSmainDlg& engine, const char* user, const char* password,
                                 const std::function<bool(const CameraRecord&)>& include,
                                 const std::function<void(const BatchCounts&)>& progress,
                                 uint32_t quietMs, const std::function<bool()>& stop) {
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
        if (copy.viaHttp == 1) {
            CameraReply info{};
            if (CheckCGI(ports, copy.ip, copy.httpPort, user, password, &info).Done()) {
                engine.AddBatchOk();
                engine.RecvCameraProcess(info);
            } else {
                engine.AddBatchFail();
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
