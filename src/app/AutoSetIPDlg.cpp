#include "app/AutoSetIPDlg.h"

#include <QKeyEvent>
#include <QPainter>

#include "app/FormBuild.h"
#include "app/MessageDlg.h"
#include "app/PopupPanel.h"
#include "common/stdafx.h"
#include "controls/Accessibility.h"
#include "controls/CustControls.h"
#include "controls/UiText.h"

namespace {
// The message that says why the form was refused.
int RefusalText(AutoIpRefusal refusal) {
    switch (refusal) {
        case AutoIpRefusal::AdapterError: return 20089;  // "Network interface controller error, ..."
        case AutoIpRefusal::RangeError: return 20091;    // "IP range error."
        case AutoIpRefusal::GatewaySubnet: return 20092; // "Gateway and the set IP are not in the same subnet."
        default: return 20090;                           // "Invalid setting IP."
    }
}
}  // namespace

CAutoSetIPDlg::CAutoSetIPDlg(QWidget* parent) : QWidget(parent) {
    MakeLabel(this, 20017, QRect(20, 12, 600, 24), 16, 700);
    CustStatic* userLabel = MakeLabel(this, 20019, QRect(20, 44, 150, 26));
    m_user = MakeEdit(this, QRect(175, 44, 180, 26), 40);
    CustStatic* passwordLabel = MakeLabel(this, 20020, QRect(375, 44, 100, 26));
    m_password = MakeEdit(this, QRect(480, 44, 180, 26), 40, true);
    userLabel->SetBuddy(m_user);
    passwordLabel->SetBuddy(m_password);

    CustStatic* adapterLabel = MakeLabel(this, 20034, QRect(20, 80, 400, 24));
    m_adapters = new CustComboBox(this);  // 1636
    m_adapters->setGeometry(20, 106, 300, 28);
    adapterLabel->SetBuddy(m_adapters);
    m_addresses = new CustComboBox(this);  // 1637
    m_addresses->setGeometry(340, 106, 180, 28);
    SetNameById(m_addresses, 20042);  // "IP Address" of the adapter
    m_refresh = MakeButton(this, 20027, QRect(540, 104, 120, 32));  // 1640

    m_auto = new CustRadio(this);  // 1641
    m_auto->setGeometry(20, 146, 150, 24);
    SetTextById(m_auto, 20085);
    m_manual = new CustRadio(this);  // 1642
    m_manual->setGeometry(180, 146, 150, 24);
    SetTextById(m_manual, 20071);

    m_start = MakeEdit(this, QRect(20, 180, 150, 26), 0, false, 1);  // 1638
    SetNameById(m_start, 20107);  // "Start IP": the range has no caption of its own
    auto* tilde = MakeLabel(this, 0, QRect(170, 180, 20, 26));
    tilde->setText(QStringLiteral("~"));
    tilde->SetFormat(Qt::AlignCenter);
    m_end = MakeEdit(this, QRect(190, 180, 150, 26), 0, false, 1);  // 1639
    SetNameById(m_end, 20108);  // "End IP"
    const int ids[4] = {20043, 20045, 20086, 20087};
    CustEdit** edits[4] = {&m_mask, &m_gateway, &m_dns1, &m_dns2};
    for (int i = 0; i < 4; ++i) {  // 1643..1646
        const int left = i % 2 == 0 ? 20 : 350, top = 218 + (i / 2) * 36;
        CustStatic* label = MakeLabel(this, ids[i], QRect(left, top, 140, 26));
        *edits[i] = MakeEdit(this, QRect(left + 145, top, 160, 26), 0, false, i == 0 ? 2 : 1);
        label->SetBuddy(*edits[i]);
    }
    m_setIp = MakeButton(this, 20026, QRect(680, 252, 110, 32));  // 1635

    QWidget* popupParent = parent != nullptr ? parent->window() : this;
    m_box = new CMessageDlg(popupParent);

    connect(m_refresh, &QPushButton::clicked, this, &CAutoSetIPDlg::RefreshAdapters);
    connect(m_adapters, &QComboBox::activated, this, &CAutoSetIPDlg::OnAdapterChosen);
    connect(m_addresses, &QComboBox::activated, this, &CAutoSetIPDlg::OnAddressChosen);
    connect(m_auto, &QRadioButton::clicked, this, [this] { SetMode(0); });
    connect(m_manual, &QRadioButton::clicked, this, [this] { SetMode(1); });
    connect(m_setIp, &QPushButton::clicked, this, &CAutoSetIPDlg::SetIp);
    SetMode(0);
}

void CAutoSetIPDlg::showEvent(QShowEvent* event) {
    // The adapters are listed when the page first opens, with the first address chosen so
    // that the range is filled in at once.
    if (!m_enumerated) RefreshAdapters();
    QWidget::showEvent(event);
}

void CAutoSetIPDlg::RefreshAdapters() {
    m_enumerated = true;
    m_list.clear();
    if (enumerate) enumerate(m_list);
    m_adapters->clear();
    for (const NetworkAdapter& a : m_list) m_adapters->addItem(QString::fromUtf8(a.description));
    if (!m_list.empty()) {
        m_adapters->setCurrentIndex(0);
        OnAdapterChosen(0);
    } else {
        m_addresses->clear();
    }
}

void CAutoSetIPDlg::OnAdapterChosen(int index) {
    m_addresses->clear();
    if (index < 0 || index >= static_cast<int>(m_list.size())) return;
    for (const NetworkAddress& a : m_list[index].addresses) m_addresses->addItem(QString::fromUtf8(a.address));
    if (m_addresses->count() > 0) {
        m_addresses->setCurrentIndex(0);
        OnAddressChosen(0);
    }
}

void CAutoSetIPDlg::OnAddressChosen(int index) {
    const int adapter = m_adapters->currentIndex();
    if (adapter < 0 || adapter >= static_cast<int>(m_list.size())) return;
    const NetworkAdapter& a = m_list[adapter];
    if (index < 0 || index >= static_cast<int>(a.addresses.size())) return;
    const uint64_t ip = IpTextToValue(a.addresses[index].address);
    const uint64_t mask = IpTextToValue(a.addresses[index].mask);
    if (ip == INVALID_IP_VALUE || mask == INVALID_IP_VALUE) return;
    m_start->setText(QString::fromStdString(IpValueToText(SubnetOf(ip, mask) + 1)));
    m_end->setText(QString::fromStdString(IpValueToText(LastAddress(ip, mask) - 1)));
    m_mask->setText(QString::fromUtf8(a.addresses[index].mask));
    m_gateway->setText(QString::fromUtf8(a.gateway));
    m_dns1->setText(QString::fromUtf8(a.dns1));
    m_dns2->setText(QString::fromUtf8(a.dns2));
}

void CAutoSetIPDlg::SetMode(int mode) {
    if (mode != 0 && mode != 1) {
        TLOG_WARNING("(%s:%d)m_SetIPMode error:%d", mode);
        return;
    }
    m_settings.m_SetIPMode = mode;
    (mode == 0 ? m_auto : m_manual)->setChecked(true);
    for (CustEdit* edit : {m_mask, m_gateway, m_dns1, m_dns2}) edit->setEnabled(mode == 1);
}

int CAutoSetIPDlg::SetIp() {
    AutoIpForm form;
    form.adapterText = m_adapters->currentText().toStdString();
    form.addressText = m_addresses->currentText().toStdString();
    form.start = m_start->text().toStdString();
    form.end = m_end->text().toStdString();
    form.mask = m_mask->text().toStdString();
    form.gateway = m_gateway->text().toStdString();
    form.dns1 = m_dns1->text().toStdString();
    form.dns2 = m_dns2->text().toStdString();
    form.mode = m_settings.m_SetIPMode;
    std::vector<NetworkAdapter> now;  // the adapters as they are at this moment
    if (enumerate) enumerate(now);
    const AutoIpRefusal refusal = ValidateAutoIpSettings(form, now, &m_settings);
    if (refusal != AutoIpRefusal::None) {
        const int text = RefusalText(refusal);
        m_box->SetDisplaySeconds(3);
        m_box->SetLines(0, text, 0);
        m_box->ShowTimed();
        return text;
    }
    const QByteArray user = m_user->text().left(40).toUtf8();
    const QByteArray password = m_password->text().left(40).toUtf8();
    if (onStart != nullptr) onStart(m_context, user.constData(), password.constData());
    return 0;
}

void CAutoSetIPDlg::ReloadTexts() {
    ReloadTextIds(this);
    m_box->ReloadTexts();
    update();
}

void CAutoSetIPDlg::keyPressEvent(QKeyEvent* event) {
    if (IsClosingKey(event->key())) return event->accept();
    QWidget::keyPressEvent(event);
}

void CAutoSetIPDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(QColor(200, 200, 200));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
