#include "app/ViewDlg.h"

#include <QPainter>

#include "common/WindowTextIds.h"
#include "common/stdafx.h"
#include "controls/UiText.h"
#include "engine/OnvifEntry.h"
#include "web/SnapshotView.h"

CViewDlg::CViewDlg(QWidget* parent) : QWidget(parent), m_worker(std::make_unique<CSnapshotWorker>()) {
    m_worker->context = this;
    m_worker->readCamera = &CViewDlg::ReadCamera;
    m_worker->onImage = &CViewDlg::OnImage;
    m_worker->onFailure = &CViewDlg::OnFailure;
    m_worker->fetch = &CViewDlg::FetchOnvif;
}

CViewDlg::~CViewDlg() { m_worker.reset(); }

void CViewDlg::Start(const QString& mac) {
    {
        std::lock_guard<std::mutex> lock(m_macLock);
        if (m_mac != mac) {
            m_picture = QImage();
            m_whyTextId = 0;
        }
        m_mac = mac;
    }
    m_worker->Start();
    update();
}

void CViewDlg::Pause() {
    m_worker->Pause();
    update();
}

void CViewDlg::Clear() {
    m_worker->Pause();
    {
        std::lock_guard<std::mutex> lock(m_macLock);
        m_mac.clear();
    }
    m_picture = QImage();
    m_whyTextId = 0;
    update();
}

bool CViewDlg::Active() const { return m_worker->Active(); }

QString CViewDlg::Mac() const {
    std::lock_guard<std::mutex> lock(m_macLock);
    return m_mac;
}

int CViewDlg::WorkersCreated() const { return m_worker->WorkersCreated(); }

bool CViewDlg::ReadCamera(void* context, SnapshotCamera* camera) {
    auto* self = static_cast<CViewDlg*>(context);
    QByteArray mac;
    {
        std::lock_guard<std::mutex> lock(self->m_macLock);
        self->m_fetching = self->m_mac;
        mac = self->m_mac.toUtf8();
    }
    // An ONVIF device's picture is fetched by the engine, with what it keeps of the device.
    if (IsOnvifKey(mac.toStdString())) return self->fetchOnvif != nullptr;
    CameraRecord record{};
    if (mac.isEmpty() || self->findCamera == nullptr || !self->findCamera(self->m_context, mac.constData(), &record))
        return false;
    std::string user = record.user, password;
    if (self->findCredentials != nullptr) self->findCredentials(self->m_context, mac.constData(), &user, &password);
    CopyTruncated(camera->user, user.c_str());
    CopyTruncated(camera->password, password.c_str());
    CopyTruncated(camera->ip, record.ip);
    CopyTruncated(camera->httpPort, record.httpPort);
    return true;
}

bool CViewDlg::FetchOnvif(void* context, CurlBuffer& picture, HttpResult* why) {
    auto* self = static_cast<CViewDlg*>(context);
    std::string key;
    {
        std::lock_guard<std::mutex> lock(self->m_macLock);
        key = self->m_fetching.toStdString();
    }
    if (!IsOnvifKey(key) || self->fetchOnvif == nullptr) return false;
    const int result = self->fetchOnvif(self->m_context, key, picture);
    // A status of the device's own (at least 100) or a refusal, or libcurl's code for no
    // answer at all; without a snapshot address of its own the device gives no picture.
    *why = result == 0                                         ? HttpResult::Done
           : result == -3 || result == 401 || result == 403 ? HttpResult::Refused
           : result == -2 || result >= 100                   ? HttpResult::NotCamera
                                                              : HttpResult::NoAnswer;
    return true;
}

void CViewDlg::OnImage(void* context, const SnapshotImage& image) {
    auto* self = static_cast<CViewDlg*>(context);
    const SnapshotImage scaled = StretchSnapshot(image, kPictureWidth, kPictureHeight);
    QImage picture(scaled.rgb.data(), scaled.width, scaled.height, scaled.width * 3, QImage::Format_RGB888);
    picture = picture.copy();  // own the pixels
    self->ForShownCamera([self, picture] {
        self->m_picture = picture;
        self->m_whyTextId = 0;
    });
}

// No picture came: the pane says why instead of an old picture that would pass for a live one.
void CViewDlg::OnFailure(void* context, HttpResult why) {
    auto* self = static_cast<CViewDlg*>(context);
    const int textId = why == HttpResult::Refused                                          ? kTextRefused
                       : why == HttpResult::NoAnswer || why == HttpResult::TransportError ? kTextNoAnswer
                                                                                          : kTextNotAPicture;
    self->ForShownCamera([self, textId] {
        self->m_picture = QImage();
        self->m_whyTextId = textId;
    });
}

void CViewDlg::ForShownCamera(std::function<void()> change) {
    QString from;
    {
        std::lock_guard<std::mutex> lock(m_macLock);
        from = m_fetching;
    }
    QMetaObject::invokeMethod(this, [this, change = std::move(change), from] {
        // A result for a camera that is no longer shown, or that came after a pause, is dropped.
        if (!Active() || from != Mac()) return;
        change();
        update();
    }, Qt::QueuedConnection);
}

void CViewDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(QColor(200, 200, 200));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (!m_picture.isNull()) {
        painter.drawImage(QPoint(5, 5), m_picture);
    } else if (m_whyTextId != 0) {
        painter.setPen(QColor(90, 90, 90));
        painter.drawText(rect().adjusted(10, 10, -10, -10), Qt::AlignCenter | Qt::TextWordWrap,
                         UiText(kTextNoPicture) + QLatin1Char('\n') + UiText(m_whyTextId));
    }
}
