#include "app/ViewDlg.h"

#include <QPainter>

#include "common/stdafx.h"
#include "web/SnapshotView.h"

CViewDlg::CViewDlg(QWidget* parent) : QWidget(parent), m_worker(std::make_unique<CSnapshotWorker>()) {
    m_worker->context = this;
    m_worker->readCamera = &CViewDlg::ReadCamera;
    m_worker->onImage = &CViewDlg::OnImage;
}

CViewDlg::~CViewDlg() { m_worker.reset(); }

void CViewDlg::Start(const QString& mac) {
    {
        std::lock_guard<std::mutex> lock(m_macLock);
        if (m_mac != mac) m_picture = QImage();
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

void CViewDlg::OnImage(void* context, const SnapshotImage& image) {
    auto* self = static_cast<CViewDlg*>(context);
    const SnapshotImage scaled = StretchSnapshot(image, kPictureWidth, kPictureHeight);
    QImage picture(scaled.rgb.data(), scaled.width, scaled.height, scaled.width * 3, QImage::Format_RGB888);
    picture = picture.copy();  // own the pixels
    QString from;
    {
        std::lock_guard<std::mutex> lock(self->m_macLock);
        from = self->m_fetching;
    }
    QMetaObject::invokeMethod(self, [self, picture, from] {
        // A picture of a camera that is no longer shown, or that came after a pause, is dropped.
        if (!self->Active() || from != self->Mac()) return;
        self->m_picture = picture;
        self->update();
    }, Qt::QueuedConnection);
}

void CViewDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(QColor(200, 200, 200));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (!m_picture.isNull()) painter.drawImage(QPoint(5, 5), m_picture);
}
