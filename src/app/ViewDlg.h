#pragma once
// The snapshot view: a still picture of the selected verified camera, refreshed about once
// a second, stretched to 300 x 225; of an ONVIF device (kept by its entry key) through the
// owner's fetchOnvif. It keeps the camera's MAC, never its record: every
// fetch reads the camera afresh through the owner, and a picture fetched for a camera that
// is no longer the one shown is dropped.
//
// Threads: the fetch worker (CSnapshotWorker) reads the camera and decodes on its own
// thread; the picture reaches the widget through a queued call.

#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <mutex>

#include "engine/CameraRecord.h"
#include "web/HttpOutcome.h"

class CSnapshotWorker;
struct CurlBuffer;
struct SnapshotImage;

class CViewDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPictureWidth = 300;
    static constexpr int kPictureHeight = 225;

    explicit CViewDlg(QWidget* parent = nullptr);
    // Stops and joins the worker before anything else goes.
    ~CViewDlg() override;

    // Owner slot, called on the worker thread: the camera's current record by MAC; false
    // when it is no longer listed.
    void* m_context = nullptr;
    bool (*findCamera)(void* context, const char* mac, CameraRecord* record) = nullptr;
    // The credentials the camera accepted, for its picture requests; false when none.
    bool (*findCredentials)(void* context, const char* mac, std::string* user, std::string* password) = nullptr;
    // The picture of a verified ONVIF device (its key), on the worker thread: 0 and the
    // picture, -2 no snapshot address of its own, -3 not verified, else an HTTP status or a
    // libcurl code.
    int (*fetchOnvif)(void* context, const std::string& key, CurlBuffer& picture) = nullptr;

    // Shows mac's pictures from now on (the worker is created once and reused).
    void Start(const QString& mac);
    void Pause();
    // Pauses and empties the picture.
    void Clear();

    bool Active() const;
    QString Mac() const;
    const QImage& Picture() const { return m_picture; }
    // The text shown in place of a picture (kTextNoAnswer...), 0 for none.
    int WhyTextId() const { return m_whyTextId; }
    int WorkersCreated() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static bool ReadCamera(void* context, struct SnapshotCamera* camera);
    static void OnImage(void* context, const SnapshotImage& image);
    static void OnFailure(void* context, HttpResult why);
    static bool FetchOnvif(void* context, CurlBuffer& picture, HttpResult* why);
    // Runs `change` on the window's thread if the camera fetched is still the one shown.
    void ForShownCamera(std::function<void()> change);

    mutable std::mutex m_macLock;  // m_mac, m_fetching: read by the worker
    QString m_mac;
    QString m_fetching;  // the MAC the worker's current pass read
    QImage m_picture;
    int m_whyTextId = 0;  // why the last pass brought no picture; 0 after a picture
    std::unique_ptr<CSnapshotWorker> m_worker;
};
