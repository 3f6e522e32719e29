#include "app/OnvifInfoDlg.h"

#include <QHeaderView>
#include <QPainter>
#include <QTableWidget>
#include <QUrl>
#include <chrono>
#include <cstdio>

#include "common/WindowTextIds.h"
#include "controls/Accessibility.h"
#include "controls/CustControls.h"
#include "controls/UiText.h"
#include "engine/CameraFilter.h"

namespace {
constexpr int kCaptionWidth = 135;
constexpr int kCameraNameId = 20056;  // "Name"
constexpr int kMacId = 20041;
constexpr int kAddressId = 20042;
constexpr int kFirmwareId = 20053;
constexpr int kModelId = 20187;

// "+7200.5 s": the device's clock less this PC's.
std::string OffsetText(std::chrono::milliseconds offset) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.1f s", static_cast<double>(offset.count()) / 1000.0);
    return text;
}
}  // namespace

void OnvifPageAddress(const OnvifEntry& onvif, std::string* host, std::string* port) {
    const QUrl url(QString::fromStdString(onvif.xaddr), QUrl::StrictMode);
    if (url.isValid() && !url.host().isEmpty()) {
        *host = url.host().toStdString();
        *port = std::to_string(url.port(80));
        return;
    }
    *host = onvif.address;
    *port = "80";
}

COnvifInfoDlg::COnvifInfoDlg(QWidget* parent) : QWidget(parent) {
    setFixedSize(kWidth, kHeight);
    m_reason = new CustStatic(this);
    m_reason->SetFont(15, 700);
    m_reason->SetTextColour(QColor(40, 90, 160));
    m_reason->setGeometry(20, 8, kWidth - 30, 22);
    m_facts = new QTableWidget(0, 2, this);
    m_facts->setObjectName(QStringLiteral("onvifFacts"));
    m_facts->setGeometry(20, 36, kWidth - 30, kHeight - 44);
    m_facts->setFont(MakeArialFont(14, 400));
    m_facts->horizontalHeader()->hide();
    m_facts->verticalHeader()->hide();
    m_facts->verticalHeader()->setDefaultSectionSize(24);
    m_facts->setColumnWidth(0, kCaptionWidth);
    m_facts->horizontalHeader()->setStretchLastSection(true);
    m_facts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_facts->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_facts->setSelectionMode(QAbstractItemView::SingleSelection);
    m_facts->setTextElideMode(Qt::ElideMiddle);
    m_facts->setWordWrap(false);
    m_facts->setShowGrid(false);
    m_facts->setAlternatingRowColors(true);
    SetNameById(m_facts, kTextDeviceFacts);
    ReloadTexts();
}

void COnvifInfoDlg::AddFact(int captionId, const std::string& value) {
    if (value.empty()) return;
    const int row = m_facts->rowCount();
    m_facts->insertRow(row);
    auto* caption = new QTableWidgetItem(UiText(captionId));
    caption->setForeground(QColor(90, 90, 90));
    // What a device sends is shown with its direction overrides made harmless; a value cut
    // in the middle shows whole as its tooltip.
    const QString shown = UiCameraText(value.c_str());
    auto* item = new QTableWidgetItem(shown);
    item->setToolTip(shown);
    item->setData(Qt::AccessibleTextRole, shown);
    m_facts->setItem(row, 0, caption);
    m_facts->setItem(row, 1, item);
}

void COnvifInfoDlg::Fill(const CameraEntry& entry) {
    m_entry = entry;
    m_facts->setRowCount(0);
    if (entry.onvif == nullptr) return;
    const OnvifEntry& onvif = *entry.onvif;
    const tarsel::onvif::OnvifFacts& facts = onvif.facts;
    AddFact(kTextKind, kOnvifKindMark);
    AddFact(kTextMaker, MakerOf(entry));
    AddFact(kModelId, !facts.info.model.empty() ? facts.info.model : entry.record.model);
    AddFact(kFirmwareId, facts.info.firmware);
    AddFact(kTextSerialNumber, facts.info.serial);
    AddFact(kMacId, facts.network.mac);
    AddFact(kAddressId, onvif.address);
    for (const std::string& xaddr : onvif.xaddrs) AddFact(kTextServiceAddress, xaddr);
    AddFact(kCameraNameId, onvif.name);
    AddFact(kTextHardware, onvif.hardware);
    AddFact(kTextLocation, onvif.location);
    if (facts.clockKnown) AddFact(kTextClockOffset, OffsetText(facts.clockOffset));
    m_facts->setCurrentCell(0, 0, QItemSelectionModel::NoUpdate);
}

void COnvifInfoDlg::Clear() {
    m_entry = CameraEntry();
    m_facts->setRowCount(0);
}

void COnvifInfoDlg::ReloadTexts() {
    SetTextById(m_reason, kTextOnvifReadOnly);
    m_facts->setAccessibleDescription(m_reason->text());
    ReloadNames(this);
    Fill(m_entry);
    update();
}

QString COnvifInfoDlg::FactText(int row, int column) const {
    const QTableWidgetItem* item = m_facts->item(row, column);
    return item != nullptr ? item->text() : QString();
}

void COnvifInfoDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(255, 255, 255));
}
