// What a screen reader finds in the window and what a keyboard user can do in it: every
// control a user reaches or acts on has a name in English, Polish and Traditional Chinese
// that follows a language switch; message boxes are alerts named by their text that give
// the focus back; a camera is found, verified and renamed with the keyboard alone. (That a
// screen reader hears the alerts is the lab test's: offscreen, Qt sends no accessibility
// events.)

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QToolButton>

#include "FakeWindow.h"
#include "app/AlartDlg.h"
#include "app/AuthDlg.h"
#include "app/BehaviorDlg.h"
#include "app/CombineDlg.h"
#include "app/InfoDlg.h"
#include "app/ListDlg.h"
#include "app/LngDlg.h"
#include "app/MessageOKDlg.h"
#include "app/UnauthDlg.h"
#include "common/TextTables.h"
#include "controls/CustControls.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"

namespace {
const char kA[] = "00:1B:2C:00:00:0A";
const char kB[] = "00:1B:2C:00:00:0B";

// Objects a user acts on, or any that takes the keyboard, need a name. Scroll bars are read
// through what they scroll; Qt's own parts of a combo box or a list through that control.
bool NeedsName(QWidget* widget, QAccessibleInterface* iface, QWidget* root) {
    for (QWidget* up = widget->parentWidget(); up != nullptr && up != root; up = up->parentWidget())
        if (qobject_cast<QComboBox*>(up) || qobject_cast<QAbstractScrollArea*>(up))
            return false;
    static const QSet<QAccessible::Role> kActed = {
        QAccessible::PushButton, QAccessible::CheckBox,     QAccessible::RadioButton,
        QAccessible::ComboBox,   QAccessible::EditableText, QAccessible::List,
        QAccessible::PopupMenu,  QAccessible::Table,        QAccessible::Dialog};
    const QAccessible::Role role = iface->role();
    return role != QAccessible::ScrollBar && (kActed.contains(role) || iface->state().focusable);
}

// The name of every such object below root, shown or not, and of the choices of the choice
// lists (the language chooser's are fixed); keyed by object, to compare languages. Alerts
// are named by what they say while shown: checked there.
QMap<QString, QString> Names(QWidget* root) {
    QMap<QString, QString> names;
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
        if (iface->role() == QAccessible::AlertMessage || !NeedsName(widget, iface, root))
            continue;
        const QString key = QString::number(quintptr(widget), 16);
        names.insert(key, iface->text(QAccessible::Name));
        if (iface->role() != QAccessible::List || qobject_cast<CLngDlg*>(widget))
            continue;
        for (int i = 0; i < iface->childCount(); ++i)
            names.insert(key + QString::number(i), iface->child(i)->text(QAccessible::Name));
    }
    return names;
}

// A text of the tables in a language, as a name shows it (no closing colon).
QString TextIn(int language, int id) {
    SetThreadLanguage(language);
    QString text = UiText(id).trimmed();
    SetThreadLanguage(currentLanguage.load() < 0 ? LANGUAGE_ENGLISH : currentLanguage.load());
    while (text.endsWith(QLatin1Char(':')) || text.endsWith(QChar(0xFF1A)))
        text.chop(1);
    return text.trimmed();
}

QWidget* Focus(QWidget* window) {
    return window->focusWidget();
}

void Press(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(Focus(window) ? Focus(window) : window, Qt::Key(key), modifiers);
}

struct MouseCounter : QObject {
    int presses = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        presses += event->type() == QEvent::MouseButtonPress ||
                   event->type() == QEvent::MouseButtonRelease;
        return false;
    }
};

struct ActiveWindow : guitest::FakeWindow {
    CTarsel_NextGenerateDlg* w = window.get();
    ActiveWindow() {
        w->activateWindow();
        if (!QTest::qWaitForWindowActive(w))
            qWarning("the window is not active");
    }
    bool FocusComesTo(QWidget* widget) {
        return guitest::WaitUntil([&] { return Focus(w) == widget; }, 1000);
    }
};
}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void everyControlIsNamedAndNamesFollowTheLanguage() {
        guitest::PrivateConfig config("");
        guitest::FakeWindow f;
        const QMap<QString, QString> english = Names(f.window.get());
        QVERIFY2(english.size() > 70, qPrintable(QString::number(english.size())));
        for (int language : {LANGUAGE_ENGLISH, LANGUAGE_POLISH, LANGUAGE_CHINESE_TRADITIONAL}) {
            f.window->ApplyLanguage(language);
            const QMap<QString, QString> names = Names(f.window.get());
            QCOMPARE(names.keys(), english.keys());
            int translated = 0;
            for (auto it = names.begin(); it != names.end(); ++it) {
                QVERIFY2(!it.value().isEmpty(), qPrintable(it.key()));
                // A name from the string tables is the same text in the language shown.
                QStringList expected;
                for (int id = kFirstTextId; id <= kLastTextId; ++id)
                    for (int shown : {id, CaptionTextId(id)})
                        if (TextIn(LANGUAGE_ENGLISH, shown) == english[it.key()])
                            expected << TextIn(language, shown);
                QVERIFY2(expected.isEmpty() || expected.contains(it.value()),
                         qPrintable(it.value()));
                translated += !expected.isEmpty() && it.value() != english[it.key()];
            }
            if (language != LANGUAGE_ENGLISH)
                QVERIFY2(translated > 50, qPrintable(QString::number(translated)));
        }
    }

    void messageBoxesAreAlertsAndGiveTheFocusBack() {
        guitest::PrivateConfig config("");
        ActiveWindow f;
        CustEdit* filter = f.w->cameraList()->FilterEdit();
        filter->setFocus();
        f.w->ShowFixedMessage(2);
        QAccessibleInterface* box = QAccessible::queryAccessibleInterface(f.w->messageDialog());
        QCOMPARE(box->role(), QAccessible::AlertMessage);
        QCOMPARE(box->text(QAccessible::Name), UiText(20005));
        f.w->ShowFixedMessage(3);
        QCOMPARE(box->text(QAccessible::Name), UiText(20006));
        QCOMPARE(Focus(f.w), f.w->messageDialog());
        Press(f.w, Qt::Key_Escape);  // a message that closes itself anyway closes now
        QVERIFY(f.w->messageDialog()->isHidden() && f.FocusComesTo(filter));

        // A count in the result box is its name as it goes; Escape closes it once OK is on.
        CMessageOKDlg* result = f.w->resultBox();
        result->ShowResult(0, nullptr);
        result->Line(0)->setText(QStringLiteral("Pass: 1"));
        QCOMPARE(QAccessible::queryAccessibleInterface(result)->text(QAccessible::Name),
                 QStringLiteral("Pass: 1"));
        Press(f.w, Qt::Key_Escape);
        QVERIFY(result->isVisible());
        result->OkButton()->setEnabled(true);
        QCOMPARE(Focus(f.w), result->OkButton());
        Press(f.w, Qt::Key_Return);
        QVERIFY(result->isHidden() && f.FocusComesTo(filter));

        // The confirmation starts on Cancel: a stray Enter reboots nothing; Escape cancels.
        f.w->alertDialog()->ShowReboot();
        QCOMPARE(Focus(f.w), f.w->alertDialog()->CancelButton());
        Press(f.w, Qt::Key_Escape);
        QVERIFY(f.w->alertDialog()->isHidden() && f.FocusComesTo(filter));

        // A chooser reads as a list whose current item the arrows move; Escape closes it.
        QToolButton* arrow = f.w->commandBar()->Button(CBehaviorDlg::kLanguage);
        arrow->setFocus();
        Press(f.w, Qt::Key_Space);
        QAccessibleInterface* list =
            QAccessible::queryAccessibleInterface(f.w->commandBar()->LanguageChooser());
        QCOMPARE(list->role(), QAccessible::List);
        Press(f.w, Qt::Key_Down);
        QCOMPARE(list->focusChild()->text(QAccessible::Name), QStringLiteral("繁體中文"));
        Press(f.w, Qt::Key_Escape);
        QVERIFY(f.w->commandBar()->LanguageChooser()->isHidden() && Focus(f.w) == arrow);
        QCOMPARE(currentLanguage.load(), LANGUAGE_ENGLISH);
    }

    // Against the list's keyboard as it is now: the arrows select a row as a click does.
    void keyboardAloneFindsVerifiesAndRenamesACamera() {
        guitest::PrivateConfig config("");
        ActiveWindow f;
        MouseCounter mice;
        qApp->installEventFilter(&mice);
        QWidget* list = f.w->cameraList()->List();
        QVERIFY(f.FocusComesTo(list));
        QVERIFY(f.w->commandBar()
                    ->Button(CBehaviorDlg::kRefresh)
                    ->toolTip()
                    .endsWith(QStringLiteral("(F5)")));

        const int searches = f.ports.receiversCreated;
        Press(f.w, Qt::Key_F5);
        QVERIFY(guitest::WaitUntil([&] { return f.w->messageDialog()->isVisible(); }, 2000));
        QVERIFY(f.ports.receiversCreated > searches);
        Press(f.w, Qt::Key_Escape);
        QVERIFY(f.FocusComesTo(list));
        f.ports.Deliver(MakeReply(HEADER_IP_QUERY, kA, "192.168.1.10", "manual"));
        f.ports.Deliver(MakeReply(HEADER_IP_QUERY, kB, "192.168.1.11", "manual"));
        QVERIFY(guitest::WaitUntil([&] { return f.w->cameraList()->Model()->rowCount() == 2; }, 5000));
        for (int row = 0; row <= f.w->cameraList()->RowOfMac(kB); ++row)
            Press(f.w, Qt::Key_Down);
        Press(f.w, Qt::Key_Return);
        QCOMPARE(f.w->cameraPanel()->Info()->Mac(), std::string(kB));

        // Enter went on to the user name; password, Enter verifies; once the camera answers
        // the name is next.
        QCOMPARE(Focus(f.w), f.w->cameraPanel()->Login()->UserEdit());
        QTest::keyClicks(Focus(f.w), QStringLiteral("admin"));
        Press(f.w, Qt::Key_Tab);
        QTest::keyClicks(Focus(f.w), QStringLiteral("secret"));
        Press(f.w, Qt::Key_Return);
        QVERIFY(f.ports.WaitSent(
            [](auto& s) { return !s.empty() && s.back().type == HEADER_IP_AUTHENTICATE; }));
        f.ports.Deliver(MakeAuthReply(kB, "admin", "secret"));
        QVERIFY(f.FocusComesTo(f.w->cameraPanel()->Info()->NameEdit()));
        Press(f.w, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(Focus(f.w), QStringLiteral("Gate 2"));
        QWidget* save = f.w->cameraPanel()->Auth()->SaveButton();
        for (int i = 0; i < 10 && Focus(f.w) != save; ++i)
            Press(f.w, Qt::Key_Tab);
        Press(f.w, Qt::Key_Space);
        QVERIFY(f.ports.WaitSent([](auto& sent) {
            return std::any_of(sent.begin(), sent.end(), [](const SentPacket& p) {
                return p.type == HEADER_IP_SET && p.mac == kB &&
                       p.payload.find("network.device_name=Gate 2&") != std::string::npos;
            });
        }));

        // Ctrl+F: the filter text, from anywhere, once the message is away.
        Press(f.w, Qt::Key_Escape);
        QVERIFY(guitest::WaitUntil([&] { return f.w->cameraList()->isEnabled(); }, 1000));
        Press(f.w, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(Focus(f.w), f.w->cameraList()->FilterEdit());
        QCOMPARE(mice.presses, 0);
    }
};

QTEST_MAIN(AccessibilityTest)
#include "test_accessibility.moc"
