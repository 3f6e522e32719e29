#include "app/FunctionDlg.h"

#include <QFontMetrics>

#include "controls/TvListBox.h"
#include "controls/UiText.h"

namespace {
constexpr int kOpenWebsite = 20048;
constexpr int kUpgradeSingle = 20049;
constexpr int kUpgradeSelected = 20050;
constexpr int kMinWidth = 150;
}  // namespace

CFunctionDlg::CFunctionDlg(QWidget* parent) : CPopupPanel(parent) {
    m_list = new CTvListBox(this);
    m_list->SetItemHeight(25);
    m_list->setGeometry(1, 3, 148, 3 * 25);
    connect(m_list, &CTvListBox::itemChosen, this, [this](int index) {
        hide();
        emit chosen(index);
    });
    m_list->SetMenu(true);
    // The list takes the keyboard: arrows, Enter, Space; Escape closes the menu.
    setFocusProxy(m_list);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(150, 80);
    HideOnDeactivation();
}

void CFunctionDlg::ShowAt(const QPoint& topLeft, bool withSelected, bool withUpgrade) {
    // Filled each time it opens, in the language of the moment.
    m_list->ResetContent();
    m_list->AddString(UiText(kOpenWebsite));
    if (withUpgrade) m_list->AddString(UiText(kUpgradeSingle));
    if (withUpgrade && withSelected)
        m_list->AddString(UiText(kUpgradeSelected));
    m_list->SetCurSel(0);
    FitSize();
    // Kept inside the parent when opened near its right or bottom edge.
    QPoint place = topLeft;
    if (QWidget* host = parentWidget()) {
        place.setX(qMax(0, qMin(place.x(), host->width() - width())));
        place.setY(qMax(0, qMin(place.y(), host->height() - height())));
    }
    move(place);
    show();
    raise();
    setFocus(Qt::PopupFocusReason);
}

// Wide enough for the longest entry (a translation is widened, never shrunk) and as high as
// its entries: no empty line below the last.
void CFunctionDlg::FitSize() {
    const QFontMetrics metrics(m_list->font());
    int needed = kMinWidth;
    for (int item = 0; item < m_list->GetCount(); ++item)
        needed = qMax(needed, metrics.horizontalAdvance(m_list->GetText(item)) + 20);
    const int rows = m_list->GetCount();
    setFixedSize(needed, rows * 25 + 5);
    m_list->setGeometry(1, 3, needed - 2, rows * 25);
}
