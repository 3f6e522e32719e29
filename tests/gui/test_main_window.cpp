// The main window's frame: start-up language from the settings file, the language switch
// reaching every window at once, the camera event dispatch, the modal overlay, layouts,
// the title bar's drag and close.

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QTest>
#include <QToolButton>
#include <memory>
#include <thread>

#include "GuiTestSupport.h"
#include "engine/LiveEnginePorts.h"
#include "finder/LibIP.h"
#include "app/AboutDlg.h"
#include "app/AlartDlg.h"
#include "app/AutoSetIPDlg.h"
#include "app/CombineDlg.h"
#include "app/BehaviorDlg.h"
#include "app/ListDlg.h"
#include "app/LngDlg.h"
#include "app/MessageDlg.h"
#include "app/MessageOKDlg.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "app/TitleDlg.h"
#include "app/UpgradeDlg.h"
#include "app/ViewDlg.h"
#include "controls/CustControls.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"
#include "platform/Log.h"

namespace {
using Window = CTarsel_NextGenerateDlg;

// A fresh process has chosen no language yet. The engine sends no discovery from here.
std::unique_ptr<Window> StartWindow() {
    static HttpOnlyEnginePorts ports;
    currentLanguage.store(-1);
    auto window = std::make_unique<Window>(ports);
    window->show();
    return window;
}

// The text of an id in a language, looked up without disturbing the test thread for long.
QString TextIn(int language, int id) {
    const int before = currentLanguage.load();
    SetThreadLanguage(language);
    const QString text = UiText(id);
    SetThreadLanguage(before < 0 ? LANGUAGE_ENGLISH : before);
    return text;
}

QString RefreshTooltip(Window* window) { return window->commandBar()->Button(CBehaviorDlg::kRefresh)->toolTip(); }
// The tooltip shows the key that refreshes too.
QString WithF5(const QString& text) { return text + QStringLiteral(" (F5)"); }

bool AllGuardedChildren(Window* window, bool enabled) {
    for (QWidget* child : window->GuardedChildren())
        if (child->isEnabled() != enabled) return false;
    return true;
}

void SendMouse(QWidget* widget, QEvent::Type type, const QPoint& local, Qt::MouseButtons buttons) {
    const QPointF global = widget->mapToGlobal(QPointF(local));
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(local), global, button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}
}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void startsInTheLanguageOfTheSettingsFile() {
        // Names and fallbacks themselves are the language table's (unit tests).
        for (int language : {LANGUAGE_POLISH, LANGUAGE_CHINESE_TRADITIONAL}) {
            guitest::PrivateConfig config(QByteArray("[SYSTEM]\r\nLanguage=") + LanguageName(language) + "\r\n");
            auto window = StartWindow();
            QCOMPARE(currentLanguage.load(), language);
            QCOMPARE(RefreshTooltip(window.get()), WithF5(TextIn(language, 20027)));
            QCOMPARE(window->commandBar()->LanguageLabel()->text(), TextIn(language, 20083));
        }
        QVERIFY(TextIn(LANGUAGE_POLISH, 20027) != QStringLiteral("Refresh"));
        // No file at all: English.
        guitest::PrivateConfig empty("");
        auto window = StartWindow();
        QCOMPARE(currentLanguage.load(), LANGUAGE_ENGLISH);
        QCOMPARE(RefreshTooltip(window.get()), QStringLiteral("Refresh (F5)"));
    }

    void chooserSwitchesEveryWindowAtOnceAndNothingIsStored() {
        const QByteArray contents("[SYSTEM]\r\nLanguage=POLISH\r\n[MAC]\r\n00:11:22:33:44:55=1,2;\r\n");
        guitest::PrivateConfig config(contents);
        auto window = StartWindow();
        QCOMPARE(currentLanguage.load(), LANGUAGE_POLISH);
        QVERIFY(guitest::WaitUntil([&] { return window->messageDialog()->isHidden(); }, 4000));

        tarsel::CapturingLogSink log;
        QTest::mouseClick(window->commandBar()->Button(CBehaviorDlg::kLanguage), Qt::LeftButton);
        CLngDlg* chooser = window->commandBar()->LanguageChooser();
        QVERIFY(chooser->isVisible());
        QTest::mouseClick(chooser, Qt::LeftButton, {}, chooser->ItemRect(1).center());
        QVERIFY(chooser->isHidden());
        QVERIFY(log.Contains("Receive Language"));

        // Everything is in Traditional Chinese now, without any further event.
        const int zh = LANGUAGE_CHINESE_TRADITIONAL;
        QCOMPARE(currentLanguage.load(), zh);
        QCOMPARE(RefreshTooltip(window.get()), WithF5(TextIn(zh, 20027)));
        QCOMPARE(window->alertDialog()->TitleLabel()->text(), TextIn(zh, 20011));
        QCOMPARE(window->alertDialog()->ConfirmButton()->text(), TextIn(zh, 20024));
        // Texts loaded from now on come in the new language too.
        QCOMPARE(UiText(20036), TextIn(zh, 20036));
        window->ShowFixedMessage(4);
        QCOMPARE(window->resultBox()->Line(0)->text(), TextIn(zh, 20007));

        // The settings file is untouched.
        QCOMPARE(config.Contents(), contents);
    }

    void cameraEventsLayoutsAndRefresh() {
        guitest::PrivateConfig config("");
        auto window = StartWindow();
        // The first search is announced once the event loop runs, and the window's
        // children are disabled while the message shows.
        QVERIFY(window->messageDialog()->isHidden());
        QVERIFY(guitest::WaitUntil([&] { return window->messageDialog()->isVisible(); }, 1000));
        QCOMPARE(window->messageDialog()->Line(1)->text(), UiText(20005));
        QVERIFY(AllGuardedChildren(window.get(), false));
        QVERIFY(window->titleBar()->isEnabled());  // closing is never taken away

        // The automatic assignment's end closes the message and enables everything again.
        PostCameraEvent(window.get(), EVT_AUTO_IP_DONE);
        QVERIFY(guitest::WaitUntil([&] { return window->messageDialog()->isHidden(); }, 1000));
        QVERIFY(AllGuardedChildren(window.get(), true));

        // A result posted from a worker thread: the texts travel with the event.
        std::thread worker([target = window.get()] {
            auto* event = new CCameraEvent(EVT_SHOW_RESULT);
            event->m_texts = {QString(), QStringLiteral("IP range error."), QString()};
            QCoreApplication::postEvent(target, event);
        });
        worker.join();
        QVERIFY(guitest::WaitUntil([&] { return window->resultBox()->isVisible(); }, 1000));
        QCOMPARE(window->resultBox()->Line(1)->text(), QStringLiteral("IP range error."));
        QVERIFY(AllGuardedChildren(window.get(), false));
        QTest::mouseClick(window->resultBox()->OkButton(), Qt::LeftButton);
        QVERIFY(AllGuardedChildren(window.get(), true));

        // An assignment whose history could not be saved says so when it ends, once.
        for (int round = 0; round < 2; ++round) {
            std::vector<IpHistoryEntry> history;
            SetConfigPath((config.Path() + "/not-a-folder/tarsel.ini").c_str());
            QCOMPARE(RememberIp(history, "00:1B:2C:00:00:03", 3232235779u, 4294967040u), -1);
            SetConfigPath(config.Path().c_str());
            PostCameraEvent(window.get(), EVT_AUTO_IP_DONE);
            QTest::qWait(50);
            QCOMPARE(window->resultBox()->isVisible(), round == 0);
            if (round == 0) QCOMPARE(window->resultBox()->Line(0)->text(), UiText(20122));
            if (round == 0) QTest::mouseClick(window->resultBox()->OkButton(), Qt::LeftButton);
        }

        // Codes the window does not handle change nothing.
        for (int code : {EVT_CHECK_CHANGED, 0x9006, 0x9008, 0x1234}) PostCameraEvent(window.get(), code);
        QTest::qWait(50);
        QVERIFY(window->messageDialog()->isHidden());
        QVERIFY(window->resultBox()->isHidden());
        QVERIFY(AllGuardedChildren(window.get(), true));

        // Layouts: the upgrade layout, and Refresh there returns to the list and searches.
        QVERIFY(window->upgradeDialog()->isHidden());
        QVERIFY(window->autoIpDialog()->isHidden());
        QTest::mouseClick(window->commandBar()->Button(CBehaviorDlg::kUpgrade), Qt::LeftButton);
        QVERIFY(window->cameraList()->isHidden());
        QVERIFY(window->upgradeDialog()->isVisible());
        QTest::mouseClick(window->commandBar()->Button(CBehaviorDlg::kRefresh), Qt::LeftButton);
        QVERIFY(window->messageDialog()->isVisible());  // a new search from a tool page too
        window->messageDialog()->Close();
        QVERIFY(window->cameraList()->isVisible());
        QVERIFY(window->upgradeDialog()->isHidden());
        QTest::mouseClick(window->commandBar()->Button(CBehaviorDlg::kAutoIp), Qt::LeftButton);
        QVERIFY(window->autoIpDialog()->isVisible());
        QVERIFY(window->cameraPanel()->isHidden());
        QVERIFY(window->snapshotView()->isVisible());
        QTest::mouseClick(window->commandBar()->Button(CBehaviorDlg::kRefresh), Qt::LeftButton);
        QVERIFY(window->messageDialog()->isVisible());
        QCOMPARE(window->messageDialog()->Line(1)->text(), UiText(20005));
    }

    void titleBarDragsKeysCloseNothingAndSystemMenu() {
        guitest::PrivateConfig config("");
        auto window = StartWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->EnableAll();
        window->move(100, 100);
        const QPoint start = window->pos();
        CTitleDlg* title = window->titleBar();
        SendMouse(title, QEvent::MouseButtonPress, QPoint(300, 15), Qt::LeftButton);
        QVERIFY(title->Dragging());
        SendMouse(title, QEvent::MouseMove, QPoint(360, 45), Qt::LeftButton);
        QCOMPARE(window->pos(), start + QPoint(60, 30));
        // Released far outside the window: the drag still ends.
        SendMouse(title, QEvent::MouseButtonRelease, QPoint(-400, 900), Qt::NoButton);
        QVERIFY(!title->Dragging());
        const QPoint after = window->pos();
        SendMouse(title, QEvent::MouseMove, QPoint(500, 300), Qt::NoButton);
        QCOMPARE(window->pos(), after);

        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) QTest::keyClick(window.get(), key);
        QTest::qWait(20);
        QVERIFY(window->isVisible());

        // The system menu opens the about box.
        QMenu menu;
        QAction* about = window->FillSystemMenu(&menu);
        QVERIFY(about != nullptr);
        // Every item shows its key, and Alt+Space opens the menu without a mouse.
        QCOMPARE(menu.actions().at(2)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
        QCOMPARE(about->shortcut(), QKeySequence(Qt::Key_F1));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        static int menuItems = 0;
        QTimer::singleShot(50, [] {
            auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            menuItems = popup != nullptr ? popup->actions().size() : -1;
            if (popup != nullptr) popup->close();
        });
        QTest::keyClick(window.get(), Qt::Key_Space, Qt::AltModifier);
        QVERIFY(guitest::WaitUntil([] { return menuItems != 0; }, 2000));
        QCOMPARE(menuItems, 6);  // maximise, a line, export, report, a line, about
        menu.actions().at(0)->trigger();
        QVERIFY(window->isMaximized());
        window->showNormal();
        window->resize(CTarsel_NextGenerateDlg::kWidth + 200, CTarsel_NextGenerateDlg::kHeight + 150);
        QVERIFY(guitest::WaitUntil([&] { return window->cameraList()->height() == 450; }, 2000));
        QCOMPARE(window->cameraPanel()->height(), 310);
        CTvListCtrl* list = window->cameraList()->List();  // the columns take the room
        QCOMPARE(list->columnViewportPosition(9) + list->columnWidth(9), list->viewport()->width());
        static QString seenTitle;
        seenTitle.clear();
        QTimer::singleShot(50, [] {
            auto* box = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            seenTitle = box->windowTitle();
            box->OkButton()->click();
        });
        // Should the box not be found, it is closed anyway so the test fails instead of hanging.
        QTimer::singleShot(3000, [] {
            if (QWidget* modal = QApplication::activeModalWidget()) modal->hide();
        });
        window->OpenAboutBox();
        QCOMPARE(seenTitle, QStringLiteral("About Tarsel_NextGenerate"));  // the window's language
        // The close button closes, with its log line.
        tarsel::CapturingLogSink log;
        QTest::mouseClick(title->CloseButton(), Qt::LeftButton);
        QVERIFY(guitest::WaitUntil([&] { return window->isHidden(); }, 1000));
        QVERIFY(log.Contains("Close Gantrel."));
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
