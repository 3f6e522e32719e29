#include "app/IPSearchDlg.h"

#include <QListWidget>

#include "app/FormBuild.h"
#include "common/Language.h"
#include "controls/Accessibility.h"
#include "controls/CustControls.h"
#include "controls/UiText.h"

namespace {
CIPSearchDlg* Self(void* context) { return static_cast<CIPSearchDlg*>(context); }

// Runs f on the dialog's thread later; the search thread never touches a widget.
template <typename F>
void OnWindowThread(CIPSearchDlg* self, F f) {
    QMetaObject::invokeMethod(self, std::move(f), Qt::QueuedConnection);
}
}  // namespace

CIPSearchDlg::CIPSearchDlg(QWidget* parent) : CPopupPanel(parent) {
    setFixedSize(kWidth, kHeight);
    SetAccessibleRole(this, QAccessible::Dialog);
    SetNameById(this, 20106);
    auto* title = MakeLabel(this, 20106, QRect(20, 16, 364, 30), 22, 700);
    title->SetTextColour(QColor(0, 80, 255));
    const int labelWidth = 130, editLeft = 160, editWidth = 224;
    const int ids[5] = {20019, 20020, 20107, 20108, 20046};
    CustEdit** edits[5] = {&m_user, &m_password, &m_start, &m_end, &m_port};
    for (int i = 0; i < 5; ++i) {
        const int top = 62 + i * 38;
        CustStatic* label = MakeLabel(this, ids[i], QRect(20, top, labelWidth, 28));
        *edits[i] = MakeEdit(this, QRect(editLeft, top, editWidth, 28), i < 2 ? 40 : 0, i == 1,
                             i == 2 || i == 3 ? 1 : i == 4 ? 3 : 0);
        label->SetBuddy(*edits[i]);
    }
    for (CustEdit* centred : {m_start, m_end, m_port}) centred->setAlignment(Qt::AlignCenter);
    m_start->setText(QStringLiteral("0.0.0.0"));
    m_end->setText(QStringLiteral("0.0.0.0"));
    m_port->setText(QStringLiteral("80"));
    m_searchButton = MakeButton(this, 20103, QRect(20, 262, 112, 32));  // 2500
    m_stop = MakeButton(this, 20105, QRect(146, 262, 112, 32));         // 2501
    m_close = MakeButton(this, 20104, QRect(272, 262, 112, 32));        // 2502
    m_status = MakeLabel(this, 0, QRect(20, 302, 364, 24));
    m_status->SetTextColour(QColor(0, 80, 255));
    m_progress = MakeLabel(this, 0, QRect(20, 326, 364, 24));
    m_progress->SetTextColour(QColor(0, 80, 255));
    CustStatic* failuresLabel = MakeLabel(this, 20109, QRect(20, 356, 364, 26), 16, 700);
    m_failures = new QListWidget(this);  // 2508
    failuresLabel->SetBuddy(m_failures);
    m_failures->setGeometry(20, 386, 364, 194);
    m_failures->setFont(MakeArialFont(16, 400));
    m_failures->setFocusPolicy(Qt::NoFocus);
    SetSearching(false);

    connect(m_searchButton, &QPushButton::clicked, this, &CIPSearchDlg::StartSearch);
    connect(m_stop, &QPushButton::clicked, this, [this] { m_search.Stop(); });
    connect(m_close, &QPushButton::clicked, this, &CIPSearchDlg::CloseDialog);

    m_search.context = this;
    m_search.jobs = kWindowRangeJobs;
    m_search.onStatusId = [](void* context, int id, const char* address) {
        auto* self = Self(context);
        const QString where = QString::fromUtf8(address);
        OnWindowThread(self, [self, id, where] {
            self->m_statusId = id;
            self->m_statusAddress = where;
            self->ShowStatus();
        });
    };
    m_search.onClearFailures = [](void* context) {
        auto* self = Self(context);
        OnWindowThread(self, [self] { self->m_failures->clear(); });
    };
    m_search.onAuthFailure = [](void* context, const char* address) {
        auto* self = Self(context);
        const QString where = QString::fromUtf8(address);
        OnWindowThread(self, [self, where] { self->m_failures->addItem(where); });
    };
    m_search.onFinished = [](void* context, bool) {
        auto* self = Self(context);
        OnWindowThread(self, [self] { self->SetSearching(false); });
    };
    m_search.onProgress = [](void* context, uint64_t checked, uint64_t total, uint64_t found) {
        auto* self = Self(context);
        OnWindowThread(self, [self, checked, total, found] {
            self->m_counts = {checked, total, found};
            self->ShowStatus();
        });
    };
    m_search.onCameraFound = [](void* context, const CameraReply& info) {
        auto* self = Self(context);
        if (self->onCameraFound != nullptr) self->onCameraFound(self->m_context, info);
    };
}

CIPSearchDlg::~CIPSearchDlg() {
    m_search.Stop();
    m_search.Wait();
}

void CIPSearchDlg::Toggle() {
    if (isVisible()) hide();
    else ShowCentred();
}

void CIPSearchDlg::ShowCentred() {
    m_statusId = 0;
    if (!m_search.Running())
        m_counts = {};
    ShowStatus();
    QRect main = parentWidget() != nullptr ? parentWidget()->rect() : rect();
    if (getMainRect != nullptr) getMainRect(m_context, &main);
    CentreOn(main);
    show();
    raise();
}

QWidget* CIPSearchDlg::FirstFocus() { return m_user; }

// Escape stops a search under way, and closes the dialog when none runs.
void CIPSearchDlg::OnEscape() {
    if (m_stop->isEnabled()) m_stop->click();
    else if (m_close->isEnabled()) m_close->click();
}

void CIPSearchDlg::CloseDialog() {
    m_search.Stop();
    m_failures->clear();
    hide();
}

void CIPSearchDlg::StartSearch() {
    const QByteArray user = m_user->text().left(40).toUtf8();
    const QByteArray password = m_password->text().left(40).toUtf8();
    const QByteArray start = m_start->text().toUtf8();
    const QByteArray end = m_end->text().toUtf8();
    const QByteArray port = m_port->text().toUtf8();
    const int error = m_search.Start(user.constData(), password.constData(), start.constData(),
                                     end.constData(), port.constData());
    if (error > 0) {
        // A range too large names itself, so the user sees what was refused.
        const QString range = error == TEXT_RANGE_TOO_LARGE
                                  ? m_start->text() + QStringLiteral(" - ") + m_end->text()
                                  : QString();
        if (showResult != nullptr)
            showResult(m_context, {QString(), UiText(error), range});
        return;
    }
    if (error == 0) SetSearching(true);
}

void CIPSearchDlg::SetSearching(bool searching) {
    m_close->setEnabled(!searching);
    m_stop->setEnabled(searching);
    m_searchButton->setEnabled(!searching);
}

void CIPSearchDlg::ShowStatus() {
    m_progress->setText(m_counts.total == 0
                            ? QString()
                            : QString::fromStdString(RangeProgressText(
                                  m_counts.checked, m_counts.total, m_counts.found)));
    if (m_statusId == 0) return m_status->setText(QString());
    QString text = UiText(m_statusId);
    if (m_statusId == TEXT_CHECK_ADDRESS) text.replace(QStringLiteral("%s"), m_statusAddress);
    m_status->setText(text);
}

void CIPSearchDlg::ReloadTexts() {
    ReloadTextIds(this);
    ShowStatus();
    update();
}
