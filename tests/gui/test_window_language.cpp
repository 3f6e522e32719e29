// The window's languages at run time: every language is chosen again from any other, from
// the whole language caption, and every text follows it (the menus, "Remove", the about
// box); and in every language every caption fits its place in its own size.

#include <QTest>
#include <memory>

#include "FakeWindow.h"
#include "GuiTestSupport.h"
#include "app/AboutDlg.h"
#include "app/AlartDlg.h"
#include "app/BehaviorDlg.h"
#include "app/FunctionDlg.h"
#include "app/ListDlg.h"
#include "app/LngDlg.h"
#include "app/MessageDlg.h"
#include "app/MessageOKDlg.h"
#include "app/SelCameraDlg.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "app/UpgradeDlg.h"
#include "common/Language.h"
#include "common/TextTables.h"
#include "controls/CustControls.h"
#include "controls/TvListBox.h"
#include "controls/UiText.h"

namespace {
QString TextIn(int language, int id) {
    const char* const* table = language == LANGUAGE_POLISH                ? kPolishTexts
                               : language == LANGUAGE_CHINESE_TRADITIONAL ? kChineseTexts
                                                                          : kEnglishTexts;
    return QString::fromUtf8(SelectText(table, id));
}

// The captions below root that do not fit their place, by object and text.
QStringList Overflowing(QWidget* root) {
    QStringList cut;
    for (CustStatic* label : root->findChildren<CustStatic*>())
        if (!label->TextFits())
            cut << QStringLiteral("%1 \"%2\" in %3x%4")
                       .arg(label->parentWidget()->metaObject()->className(), label->text())
                       .arg(label->width())
                       .arg(label->height());
    for (CustButton* button : root->findChildren<CustButton*>())
        if (button->fontMetrics().horizontalAdvance(button->text()) > button->width() - 4)
            cut << QStringLiteral("button \"%1\" in %2").arg(button->text()).arg(button->width());
    for (QAbstractButton* box : root->findChildren<QAbstractButton*>())
        if ((qobject_cast<CustCheckBox*>(box) != nullptr ||
             qobject_cast<CustRadio*>(box) != nullptr) &&
            box->sizeHint().width() > box->width())
            cut << QStringLiteral("box \"%1\" in %2, needs %3")
                       .arg(box->text())
                       .arg(box->width())
                       .arg(box->sizeHint().width());
    return cut;
}
}  // namespace

class WindowLanguageTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void everyLanguageIsChosenAgainFromAnyOther() {
        guitest::FakeWindow f;
        CBehaviorDlg* bar = f.window->commandBar();
        CLngDlg* chooser = bar->LanguageChooser();
        f.window->ApplyLanguage(LANGUAGE_POLISH);
        f.window->EnableAll();
        // Polish -> Chinese -> Polish -> English -> Chinese, each from the language's name.
        const int route[][2] = {{1, LANGUAGE_CHINESE_TRADITIONAL},
                                {2, LANGUAGE_POLISH},
                                {0, LANGUAGE_ENGLISH},
                                {1, LANGUAGE_CHINESE_TRADITIONAL}};
        for (const auto& step : route) {
            const int language = step[1];
            QTest::mouseClick(bar->LanguageLabel(), Qt::LeftButton, {},
                              QPoint(5, bar->LanguageLabel()->height() / 2));
            QVERIFY(chooser->isVisible());
            QCOMPARE(CLngDlg::ItemLanguage(step[0]), language);
            QTest::mouseClick(chooser, Qt::LeftButton, {}, chooser->ItemRect(step[0]).center());
            QVERIFY(chooser->isHidden());
            QCOMPARE(currentLanguage.load(), language);
            QCOMPARE(bar->LanguageLabel()->text(), TextIn(language, 20083));

            // The camera list's menu, the upgrade list's "Remove" and the about box.
            CFunctionDlg* menu = f.window->cameraList()->FunctionMenu();
            menu->ShowAt(QPoint(0, 0), true);
            QCOMPARE(menu->List()->GetText(0), TextIn(language, 20048));
            QCOMPARE(menu->List()->GetText(2), TextIn(language, 20050));
            QVERIFY(menu->List()->width() >=
                    menu->List()->fontMetrics().horizontalAdvance(TextIn(language, 20050)));
            menu->hide();
            CRmListDlg* remove = f.window->upgradeDialog()->RemoveMenu();
            remove->ShowAt(QPoint(0, 0));
            QCOMPARE(remove->List()->GetText(0), TextIn(language, 20131));
            remove->hide();
            CAboutDlg about(f.window.get());
            QCOMPARE(about.windowTitle(), TextIn(language, 20140));
            QCOMPARE(about.NameLine()->text(), TextIn(language, 20141));
            QCOMPARE(about.OkButton()->text(), TextIn(language, 20012));
        }
    }

    void captionsFitTheirPlaceInEveryLanguage() {
        guitest::FakeWindow f;
        CTarsel_NextGenerateDlg* window = f.window.get();
        QStringList cut;
        QString tag;
        const auto check = [&](QWidget* root) {
            for (const QString& what : Overflowing(root))
                cut << tag + what;
        };
        for (int language : guitest::kScreenshotLanguages) {
            window->ApplyLanguage(language);
            tag = guitest::LanguageTag(language) + QLatin1Char(' ');
            check(window);
            // Texts that come and go: every fixed message, the results, the confirmations,
            // the questions.
            for (int code = 0; code <= 10; ++code) {
                window->ShowFixedMessage(code);
                check(window->messageDialog());
            }
            window->ShowTextMessage(0, 20130);
            check(window->messageDialog());
            window->messageDialog()->Close();
            const QStringList results[] = {
                {UiText(20126), QStringLiteral("/media/usb/cameras.csv"), UiText(20127)},
                {UiText(20122), UiText(20123), UiText(20124)},
                {QString(), UiText(20139), QStringLiteral("10.0.0.0 - 10.255.255.255")}};
            for (const QStringList& texts : results) {
                window->resultBox()->ShowResult(1, &texts);
                check(window->resultBox());
            }
            window->resultBox()->OkButton()->click();
            window->alertDialog()->ShowSoftwareDefault(QStringLiteral("Cameras (2): Gate, Yard"));
            check(window->alertDialog());
            window->alertDialog()->ShowHardwareDefault();
            check(window->alertDialog());
            window->alertDialog()->ShowReboot();
            check(window->alertDialog());
            window->CancelCommand();
            const int questions[][3] = {{0, 20081, 0}, {20132, 20133, 20134}, {20133, 20134, 0}};
            for (const auto& lines : questions) {
                MessageOKCancelDlg question(nullptr, lines[0], lines[1], lines[2]);
                check(&question);
            }
            CAboutDlg about(window);
            check(&about);
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(WindowLanguageTest)
#include "test_window_language.moc"
