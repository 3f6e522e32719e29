#include "app/InfoDlg.h"

#include <QKeyEvent>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <cstring>

#include "app/DhcpDlg.h"
#include "app/Icons.h"
#include "app/PopupPanel.h"
#include "controls/Accessibility.h"
#include "controls/CustControls.h"

namespace {
constexpr int kCaptionIds[7] = {20040, 20041, 20042, 20043, 20044, 20046, 20047};
constexpr int kRowTop = 25;
constexpr int kRowStep = 35;
constexpr int kPortRow = 5;

std::string FieldText(const QLineEdit* edit, size_t maxBytes) {
    std::string text = edit->text().toStdString();
    if (text.size() > maxBytes) text.resize(maxBytes);
    return text;
}
}  // namespace

CInfoDlg::CInfoDlg(QWidget* parent, QWidget* popupParent) : QWidget(parent) {
    setFixedSize(kWidth, kHeight);
    for (int row = 0; row < 6; ++row) {  // labels 1400..1405, edits 1410..1415
        m_labels[row] = new CustStatic(this);
        m_labels[row]->SetWrapToFit(true);
        m_labels[row]->setGeometry(30, kRowTop + row * kRowStep + 2, 125, 20);
        m_edits[row] = new CustEdit(this);
        m_edits[row]->setGeometry(160, kRowTop + row * kRowStep, row == kPortRow ? 55 : 230, 25);
        m_labels[row]->SetBuddy(m_edits[row]);
    }
    const int portTop = kRowTop + kPortRow * kRowStep;
    m_labels[6] = new CustStatic(this);  // 1406
    m_labels[6]->SetWrapToFit(true);
    m_labels[6]->SetFormat(Qt::AlignRight | Qt::AlignVCenter);
    m_labels[6]->setGeometry(222, portTop + 2, 64, 20);
    m_mode = new CustEdit(this);  // 1416
    m_mode->setGeometry(290, portTop, 70, 25);
    m_mode->setReadOnly(true);
    m_mode->setFocusPolicy(Qt::NoFocus);
    m_labels[6]->SetBuddy(m_mode);
    m_arrow = new CImageButton(this);  // 1407
    m_arrow->setIcon(ResourceIcon(156));
    m_arrow->setIconSize(QSize(10, 10));
    m_arrow->setGeometry(364, portTop + 4, 18, 18);
    // The arrow is the mode's control from the keyboard: named by the mode's caption, it
    // tells the mode chosen now.
    SetNameById(m_arrow, kCaptionIds[6]);
    connect(m_arrow, &QToolButton::clicked, this, &CInfoDlg::ToggleModeChooser);

    NameEdit()->setMaxLength(kNameMax);
    PortEdit()->setMaxLength(kPortMax);
    PortEdit()->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), PortEdit()));
    IpEdit()->SetValidation(1);
    MaskEdit()->SetValidation(2);
    GatewayEdit()->SetValidation(1);

    m_chooser = new CDhcpDlg(popupParent != nullptr ? popupParent : this);
    m_chooser->m_context = this;
    m_chooser->onModeChosen = &CInfoDlg::OnModeChosen;
    SetNameById(m_chooser, kCaptionIds[6]);
    ReloadTexts();
    Clear();
}

void CInfoDlg::Fill(const CameraRecord& record) {
    const char* texts[6] = {record.name, record.mac, record.ip, record.mask, record.gateway, record.httpPort};
    for (int row = 0; row < 6; ++row) {
        m_edits[row]->setText(QString::fromUtf8(texts[row]));
        m_edits[row]->setCursorPosition(0);
    }
    SetMode(record.mode);
}

void CInfoDlg::Clear() {
    for (CustEdit* edit : m_edits) edit->clear();
    SetMode("");
    SetEditable(false);
}

void CInfoDlg::SetEditable(bool on) {
    for (CustEdit* edit : {NameEdit(), PortEdit(), m_mode}) edit->setEnabled(on);
    m_arrow->setEnabled(on);
    if (!on) {
        SetAddressFieldsEnabled(false);
        m_chooser->hide();
    }
    MacEdit()->setEnabled(false);
    // A name that can be edited scrolls from the left; one that is only shown is centred.
    NameEdit()->setAlignment(on ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
}

void CInfoDlg::SetAddressFieldsEnabled(bool on) {
    for (CustEdit* edit : {IpEdit(), MaskEdit(), GatewayEdit()}) edit->setEnabled(on);
}

void CInfoDlg::SetMode(const char* text) {
    SetAddressFieldsEnabled(false);
    const auto is = [text](const char* a, const char* b) {
        return std::strcmp(text, a) == 0 || std::strcmp(text, b) == 0;
    };
    if (is("DHCP", "dhcp")) {
        m_mode->setText(QStringLiteral("dhcp"));
    } else if (is("MANUAL", "manual")) {
        m_mode->setText(QStringLiteral("manual"));
        if (NameEdit()->isEnabled()) SetAddressFieldsEnabled(true);
    } else if (is("PPPoE", "pppoe")) {
        m_mode->setText(QStringLiteral("pppoe"));
    } else {
        m_mode->clear();
    }
    m_arrow->setAccessibleDescription(m_mode->text());
}

void CInfoDlg::OnModeChosen(void* context, const char* mode) { static_cast<CInfoDlg*>(context)->SetMode(mode); }

void CInfoDlg::ToggleModeChooser() {
    if (m_chooser->isVisible()) {
        m_chooser->hide();
        return;
    }
    QWidget* host = m_chooser->parentWidget();
    m_chooser->ShowAt(m_mode->mapTo(host, QPoint(0, m_mode->height() + 2)));
}

void CInfoDlg::ReloadTexts() {
    for (int i = 0; i < 7; ++i) SetTextById(m_labels[i], kCaptionIds[i]);
    m_chooser->ReloadTexts();
    ReloadNames(this);
    ReloadNames(m_chooser);
    update();
}

CameraSettingsRequest CInfoDlg::Request() const {
    constexpr size_t kFieldMax = 1023;
    return {FieldText(NameEdit(), kFieldMax), FieldText(IpEdit(), kFieldMax),
            FieldText(MaskEdit(), kFieldMax), FieldText(GatewayEdit(), kFieldMax),
            FieldText(m_mode, kFieldMax),     FieldText(PortEdit(), kFieldMax)};
}

std::string CInfoDlg::Mac() const { return FieldText(MacEdit(), CAMERA_TEXT_SHORT - 1); }

// Enter is swallowed; Escape goes on to the camera panel, which cancels the edit.
void CInfoDlg::keyPressEvent(QKeyEvent* event) {
    if (IsClosingKey(event->key()) && event->key() != Qt::Key_Escape) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CInfoDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(255, 255, 255));
}
