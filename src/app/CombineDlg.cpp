#include "app/CombineDlg.h"

#include <QKeyEvent>
#include <QPainter>
#include <QTableWidget>

#include "app/AuthDlg.h"
#include "app/InfoDlg.h"
#include "app/OnvifInfoDlg.h"
#include "app/UnauthDlg.h"
#include "common/WindowTextIds.h"
#include "common/stdafx.h"
#include "controls/CustControls.h"
#include "controls/UiText.h"
#include "engine/CameraTable.h"

CCombineDlg::CCombineDlg(QWidget* parent, QWidget* popupParent) : QWidget(parent) {
    m_info = new CInfoDlg(this, popupParent);
    m_info->move(2, 2);
    m_onvif = new COnvifInfoDlg(this);
    m_onvif->move(2, 2);
    m_onvif->hide();
    m_login = new UnauthDlg(this);
    m_login->move(2 + CInfoDlg::kWidth, 2);
    m_login->hide();
    m_auth = new CAuthDlg(this);
    m_auth->move(2 + CInfoDlg::kWidth, 2);

    m_login->m_context = this;
    m_login->onVerify = [](void* context, const char* user, const char* password) {
        static_cast<CCombineDlg*>(context)->VerifyEvent(user, password);
    };
    m_login->onCancel = [](void* context) {
        auto* self = static_cast<CCombineDlg*>(context);
        if (self->onCancelVerify != nullptr) self->onCancelVerify(self->m_context);
    };
    m_auth->m_context = this;
    m_auth->onSave = [](void* context) {
        auto* self = static_cast<CCombineDlg*>(context);
        if (self->onSave != nullptr) self->onSave(self->m_context);
    };
    m_auth->onCancel = [](void* context) {
        auto* self = static_cast<CCombineDlg*>(context);
        if (self->onCancel != nullptr) self->onCancel(self->m_context);
    };
}

void CCombineDlg::ShowNativeInfo() {
    m_onvifKey.clear();
    m_onvif->hide();
    m_onvif->Clear();
    m_info->show();
    m_auth->SetReadOnlyReason(QString());
}

void CCombineDlg::ShowOnvif(const CameraEntry& entry, bool verified, const std::string& user) {
    m_onvifKey = entry.key;
    m_info->Clear();
    m_info->hide();
    m_onvif->Fill(entry);
    m_onvif->show();
    QWidget* focus = window()->focusWidget();
    const bool fromLogin = focus != nullptr && m_login->isAncestorOf(focus);
    if (verified) {
        m_login->hide();
        CameraRecord shown = entry.record;
        CopyTruncated(shown.user, user.c_str());
        shown.credentialsStored = 1;
        m_auth->Fill(shown);
        m_auth->SetReadOnlyReason(UiText(kTextOnvifReadOnly));
        m_auth->show();
        // Verified from the login panel: the keyboard goes on to the facts just read.
        if (fromLogin) m_onvif->Facts()->setFocus(Qt::OtherFocusReason);
    } else {
        m_auth->hide();
        m_login->Clear();
        m_login->show();
    }
}

void CCombineDlg::ShowCamera(const CameraRecord& record, bool verified) {
    ShowNativeInfo();
    m_info->SetEditable(verified);
    // Verified from the login panel: the keyboard goes on to the name, the first field that
    // can now be changed, rather than wherever the closing panel would pass it.
    QWidget* focus = window()->focusWidget();
    if (verified && focus != nullptr && m_login->isAncestorOf(focus))
        m_info->NameEdit()->setFocus(Qt::OtherFocusReason);
    if (verified) {
        m_login->hide();
        m_auth->show();
        m_info->Fill(record);
        m_auth->Fill(record);
    } else {
        m_auth->hide();
        m_login->Clear();
        m_login->show();
        m_info->Fill(record);
    }
}

void CCombineDlg::FocusFirstField() {
    QWidget* first = m_login->isVisible()  ? static_cast<QWidget*>(m_login->UserEdit())
                     : m_onvifKey.empty() ? static_cast<QWidget*>(m_info->NameEdit())
                                          : static_cast<QWidget*>(m_onvif->Facts());
    if (first->isEnabled()) first->setFocus(Qt::OtherFocusReason);
}

void CCombineDlg::ReloadCamera(const CameraRecord& record) { m_info->Fill(record); }

void CCombineDlg::ResetPanel() {
    ShowNativeInfo();
    m_info->Clear();
    m_auth->Clear();
    m_auth->show();
    m_login->Clear();
    m_login->hide();
}

void CCombineDlg::VerifyEvent(const char* user, const char* password) {
    // The MAC shown is the camera asked about; the answer is matched to it, not to
    // whatever the panel shows by the time it comes.
    const std::string mac = m_onvifKey.empty() ? m_info->Mac() : m_onvifKey;
    if (mac.empty()) return;
    if (onVerify != nullptr) onVerify(m_context, mac.c_str(), user, password);
}

void CCombineDlg::ReloadTexts() {
    m_info->ReloadTexts();
    m_onvif->ReloadTexts();
    m_login->ReloadTexts();
    m_auth->ReloadTexts();
    if (!m_onvifKey.empty()) m_auth->SetReadOnlyReason(UiText(kTextOnvifReadOnly));
    update();
}

void CCombineDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Escape) return QWidget::keyPressEvent(event);
    event->accept();
    QPushButton* cancel = m_auth->isVisible() ? m_auth->CancelButton() : m_login->CancelButton();
    if (cancel->isVisible() && cancel->isEnabled()) cancel->click();
}

void CCombineDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(255, 255, 255));
    painter.setPen(QColor(220, 224, 232));
    painter.drawLine(2 + CInfoDlg::kWidth, 12, 2 + CInfoDlg::kWidth, height() - 12);
}
