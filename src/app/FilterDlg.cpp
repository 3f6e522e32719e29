#include "app/FilterDlg.h"

#include "controls/TvListBox.h"
#include "controls/UiText.h"
#include "common/WindowTextIds.h"
#include "engine/CameraFilter.h"

namespace {
constexpr int kFieldTextIds[FILTER_FIELD_COUNT] = {20056, 20057, 20058, 20059, 20060, 20061, TEXT_FILTER_MODEL,
                                                     kTextMaker};
}

CFilterDlg::CFilterDlg(QWidget* parent) : CPopupPanel(parent) {
    setFixedSize(kWidth, kHeight);
    m_list = new CTvListBox(this);
    m_list->SetItemHeight(25);
    m_list->setGeometry(1, 3, kWidth - 2, FILTER_FIELD_COUNT * 25);
    connect(m_list, &CTvListBox::itemChosen, this, [this](int index) {
        hide();
        emit chosen(index);
    });
    // The list takes the keyboard: arrows, Enter, Space; Escape closes the pop-up.
    setFocusProxy(m_list);
    setFocusPolicy(Qt::NoFocus);
    ReloadTexts();
    HideOnDeactivation();
}

QString CFilterDlg::FieldName(int field) {
    if (field < 0 || field >= FILTER_FIELD_COUNT) return {};
    return UiText(kFieldTextIds[field]);
}

void CFilterDlg::ReloadTexts() {
    m_list->ResetContent();
    for (int field = 0; field < FILTER_FIELD_COUNT; ++field) m_list->AddString(FieldName(field));
}

void CFilterDlg::ShowAt(const QPoint& topLeft, int current) {
    m_list->SetCurSel(current);
    move(topLeft);
    show();
    raise();
    setFocus(Qt::PopupFocusReason);
}
