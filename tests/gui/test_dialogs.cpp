// The message, alert and question dialogs: display times (never shorter than asked, and in
// the order their deadlines fall), the lines each command shows, keys that must close nothing.

#include <QTest>

#include "GuiTestSupport.h"
#include "app/AlartDlg.h"
#include "app/FunctionDlg.h"
#include "app/MessageDlg.h"
#include "app/MessageOKDlg.h"
#include "controls/CustControls.h"
#include "controls/TvListBox.h"
#include "controls/UiText.h"

namespace {
// Records when a dialog reported its closing, measured from when it was first shown.
struct CloseWatch {
    QElapsedTimer sinceShown;
    qint64 closedAfterMs = -1;
    int closeOrder = -1;  // among every watched dialog's first close
    int shows = 0;
    int closes = 0;
};
int g_closesSoFar = 0;

void WatchShow(void* context) { ++static_cast<CloseWatch*>(context)->shows; }
void WatchClose(void* context) {
    auto* watch = static_cast<CloseWatch*>(context);
    ++watch->closes;
    if (watch->closedAfterMs < 0) {
        watch->closedAfterMs = watch->sinceShown.elapsed();
        watch->closeOrder = g_closesSoFar++;
    }
}

CMessageDlg* MakeWatchedMessage(QWidget* parent, CloseWatch* watch) {
    auto* dialog = new CMessageDlg(parent);
    dialog->m_context = watch;
    dialog->onShow = &WatchShow;
    dialog->onClose = &WatchClose;
    return dialog;
}

struct AlertAnswers {
    QString confirmed;
    int cancels = 0;
    int shows = 0;
};

void PressEnter(QWidget* widget) {
    QTest::keyClick(widget, Qt::Key_Return);
    QTest::keyClick(widget, Qt::Key_Enter);
}

void PressKeys(QWidget* widget) {
    PressEnter(widget);
    QTest::keyClick(widget, Qt::Key_Escape);
}
}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void init() { guitest::UseLanguage(LANGUAGE_ENGLISH); }

    // All display times run side by side, so the test takes one 5-second wait.
    void messagesCloseAfterTheirDisplayTime() {
        QWidget owner;
        owner.resize(900, 600);
        owner.show();
        CloseWatch fixed, progress, twoQuick, lengthened, replaced;

        CMessageDlg* fixedDialog = MakeWatchedMessage(&owner, &fixed);
        fixedDialog->SetDisplaySeconds(3);
        fixedDialog->SetLines(0, 20005, 0);
        fixed.sinceShown.start();
        fixedDialog->ShowTimed();

        CMessageDlg* progressDialog = MakeWatchedMessage(&owner, &progress);
        progress.sinceShown.start();
        progressDialog->ShowCommandProgress("REBOOT");
        QCOMPARE(progressDialog->Line(1)->text(), UiText(20032));
        QVERIFY(progressDialog->Line(0)->isHidden());
        QVERIFY(progressDialog->Line(2)->isHidden());
        QCOMPARE(progressDialog->DisplaySeconds(), 5);

        CMessageDlg* twoQuickDialog = MakeWatchedMessage(&owner, &twoQuick);
        twoQuickDialog->SetDisplaySeconds(3);
        twoQuickDialog->SetLines(0, 20005, 0);
        twoQuick.sinceShown.start();
        twoQuickDialog->ShowTimed();

        CMessageDlg* lengthenedDialog = MakeWatchedMessage(&owner, &lengthened);
        lengthenedDialog->SetDisplaySeconds(3);
        lengthenedDialog->SetLines(0, 20006, 0);
        lengthened.sinceShown.start();
        lengthenedDialog->ShowTimed();

        CMessageDlg* replacedDialog = MakeWatchedMessage(&owner, &replaced);
        replacedDialog->SetLines(0, 20005, 0);
        replacedDialog->ShowTimed();

        QTest::qWait(600);
        // A message shown until closed is never closed by the timer of the one before.
        replacedDialog->SetLines(0, 20009, 0);
        replacedDialog->ShowUntilClosed();
        // A second message within a second: its text replaces the first and it gets its own
        // full display time.
        twoQuickDialog->SetLines(0, 20009, 0);
        twoQuickDialog->ShowTimed();
        QCOMPARE(twoQuickDialog->Line(1)->text(), UiText(20009));
        // A command progress on a running 3-second timer shows for its own 5 seconds.
        lengthenedDialog->ShowCommandProgress("SW_DEFAULT_KEEP");
        QCOMPARE(lengthenedDialog->Line(1)->text(), UiText(20031));

        QVERIFY(guitest::WaitUntil([&] { return progress.closes > 0 && lengthened.closes > 0; }, 60000));
        QTest::qWait(300);  // a late second close would show here

        // No message closes before its time; each closes in the order its deadline falls
        // (3 s, 0.6 + 3 s, 5 s, 0.6 + 5 s), which a late or early timer would upset.
        const QString times = QStringLiteral("%1 %2 %3 %4").arg(fixed.closedAfterMs).arg(twoQuick.closedAfterMs)
                                  .arg(progress.closedAfterMs).arg(lengthened.closedAfterMs);
        QVERIFY2(fixed.closedAfterMs >= 3000 && twoQuick.closedAfterMs >= 3600 &&
                     progress.closedAfterMs >= 5000 && lengthened.closedAfterMs >= 5600, qPrintable(times));
        QVERIFY2(fixed.closeOrder < twoQuick.closeOrder && twoQuick.closeOrder < progress.closeOrder &&
                     progress.closeOrder < lengthened.closeOrder, qPrintable(times));
        for (const CloseWatch* watch : {&fixed, &progress, &twoQuick, &lengthened}) QCOMPARE(watch->closes, 1);
        QCOMPARE(twoQuick.shows, 2);
        // Shown until closed: no timer, and Enter or Escape close nothing.
        QVERIFY(!replacedDialog->TimerRunning());
        PressKeys(replacedDialog);
        QVERIFY(replacedDialog->isVisible());
        QCOMPARE(replaced.closes, 0);
        replacedDialog->Close();
        QVERIFY(replacedDialog->isHidden());
        QCOMPARE(replaced.closes, 1);
        QVERIFY(fixedDialog->isHidden());
        QVERIFY(!fixedDialog->TimerRunning());

        // A new message after the timer ended starts a new timer.
        fixedDialog->ShowTimed();
        QVERIFY(fixedDialog->TimerRunning());
        QVERIFY(fixedDialog->isVisible());
    }

    void alertShowsTheLinesOfEachCommandAndMenuChooses() {
        QWidget owner;
        owner.resize(1000, 700);
        owner.show();
        CAlartDlg alert(&owner);
        AlertAnswers answers;
        alert.m_context = &answers;
        alert.onShow = [](void* context) { ++static_cast<AlertAnswers*>(context)->shows; };
        alert.onConfirm = [](void* context, const char* command) {
            static_cast<AlertAnswers*>(context)->confirmed = QString::fromLatin1(command);
        };
        alert.onCancel = [](void* context) { ++static_cast<AlertAnswers*>(context)->cancels; };

        alert.ShowReboot();
        QCOMPARE(alert.Command(), QStringLiteral("REBOOT"));
        QVERIFY(alert.Line1()->isVisible());
        QVERIFY(alert.Line2()->isVisible());  // what it does, then the question

        alert.ShowSoftwareDefault();
        QVERIFY(alert.Line2()->isVisible());
        alert.ShowHardwareDefault();
        QCOMPARE(alert.Command(), QStringLiteral("HW_DEFAULT"));
        QCOMPARE(answers.shows, 3);

        // Enter on the dialog confirms nothing; Escape cancels, as Cancel does.
        PressEnter(&alert);
        QVERIFY(alert.isVisible());
        QVERIFY(answers.confirmed.isEmpty());
        QCOMPARE(answers.cancels, 0);
        QTest::keyClick(&alert, Qt::Key_Escape);
        QCOMPARE(answers.cancels, 1);
        QTest::mouseClick(alert.ConfirmButton(), Qt::LeftButton);
        QCOMPARE(answers.confirmed, QStringLiteral("HW_DEFAULT"));
        QVERIFY(alert.isVisible());  // the owner hides it
        QTest::mouseClick(alert.CancelButton(), Qt::LeftButton);
        QCOMPARE(answers.cancels, 2);

        // The function menu reports the item released on, and hides.
        CFunctionDlg menu(&owner);
        static int chosenFunction;
        chosenFunction = -1;
        QObject::connect(&menu, &CFunctionDlg::chosen, [](int index) { chosenFunction = index; });
        menu.ShowAt(QPoint(100, 100));
        QCOMPARE(menu.List()->GetText(1), QStringLiteral("Upgrade single"));
        QTest::mouseRelease(menu.List(), Qt::LeftButton, {}, menu.List()->ItemRect(2).center());
        QCOMPARE(chosenFunction, 2);
        QVERIFY(menu.isHidden());
        // Without "Upgrade selected" the menu ends below its second entry: no empty third.
        menu.ShowAt(QPoint(100, 100), false);
        QVERIFY(menu.height() < menu.List()->ItemRect(2).top() + 10);
    }

    void resultBoxAndQuestion() {
        QWidget owner;
        owner.resize(900, 600);
        owner.show();
        CMessageOKDlg result(&owner);
        CloseWatch watch;
        result.m_context = &watch;
        result.onShow = &WatchShow;
        result.onClose = &WatchClose;
        watch.sinceShown.start();
        const QStringList texts = {QString(), UiText(20090), QString()};
        result.ShowResult(1, &texts);
        QCOMPARE(result.Line(1)->text(), QStringLiteral("Invalid setting IP."));
        QVERIFY(result.OkButton()->isEnabled());
        QCOMPARE(watch.shows, 1);
        PressEnter(&result);
        QVERIFY(result.isVisible());
        QTest::mouseClick(result.OkButton(), Qt::LeftButton);
        QVERIFY(result.isHidden());
        QCOMPARE(watch.closes, 1);
        result.ShowResult(0, nullptr);
        QVERIFY(!result.OkButton()->isEnabled());
        QCOMPARE(result.Line(1)->text(), QStringLiteral("Invalid setting IP."));
        // Escape closes the box only once its OK may be pressed.
        QTest::keyClick(&result, Qt::Key_Escape);
        QVERIFY(result.isVisible());
        result.OkButton()->setEnabled(true);
        QTest::keyClick(&result, Qt::Key_Escape);
        QVERIFY(result.isHidden());
        QCOMPARE(watch.closes, 2);

        // The question: Enter on it answers nothing, OK answers 1 and Escape 2, as Cancel;
        // the owner is disabled while it is asked.
        static bool ownerDisabledMeanwhile;
        static int clickOk;
        static QWidget* questionOwner;
        questionOwner = &owner;
        for (clickOk = 0; clickOk < 2; ++clickOk) {
            ownerDisabledMeanwhile = false;
            SetAskOkCancelObserver([](MessageOKCancelDlg* dialog) {
                ownerDisabledMeanwhile = !questionOwner->isEnabled();
                // A wrong text or a key that closed the question is caught by the checks
                // after AskOkCancel returns; a failed check here must not leave it open.
                if (dialog->Line(1)->text() != QStringLiteral("Do you want to start firmware upgrade ?") ||
                    !dialog->Line(0)->text().isEmpty())
                    ownerDisabledMeanwhile = false;
                PressEnter(dialog);
                if (!dialog->isVisible()) ownerDisabledMeanwhile = false;
                if (clickOk != 0) QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
                else QTest::keyClick(dialog, Qt::Key_Escape);
            });
            const int answer = AskOkCancel(&owner, 0, 20081, 0);
            QCOMPARE(answer, clickOk != 0 ? 1 : 2);
            QVERIFY(ownerDisabledMeanwhile);
            QVERIFY(owner.isEnabled());
        }
        SetAskOkCancelObserver(nullptr);
    }

};

QTEST_MAIN(DialogsTest)
#include "test_dialogs.moc"
