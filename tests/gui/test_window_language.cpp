// The window's languages at run time: every language is chosen again from any other, from
// the whole language caption, and the menus, "Remove" and the about box follow it; in every
// language every caption fits its place in its own size.

#include <QCoreApplication>
#include <QTest>

#include "FakeWindow.h"
#include "app/AboutDlg.h"
#include "app/AlartDlg.h"
#include "app/BehaviorDlg.h"
#include "app/FunctionDlg.h"
#include "app/ListDlg.h"
#include "app/LngDlg.h"
#include "app/MessageOKDlg.h"
#include "app/SelCameraDlg.h"
#include "app/UpgradeDlg.h"
#include "common/TextTables.h"
#include "controls/CustControls.h"
#include "controls/TvListBox.h"
#include "controls/UiText.h"

namespace {
QString TextIn(int language, int id) {
    const char* const* tables[] = {kEnglishTexts, kChineseTexts, kEnglishTexts, kPolishTexts};
    return QString::fromUtf8(SelectText(tables[language], id));
}

// The captions below root that do not fit their place.
QStringList Overflowing(QWidget* root) {
    QStringList cut;
    for (CustStatic* label : root->findChildren<CustStatic*>())
        if (!label->TextFits()) cut << label->text();
    for (CustButton* button : root->findChildren<CustButton*>())
        if (button->fontMetrics().horizontalAdvance(button->text()) > button->width() - 4)
            cut << button->text();
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
        // Polish, Chinese, Polish, English, Chinese: each from a click on the language's name.
        for (int item : {1, 2, 0, 1}) {
            const int language = CLngDlg::ItemLanguage(item);
            QTest::mouseClick(bar->LanguageLabel(), Qt::LeftButton, {}, QPoint(5, 10));
            QVERIFY(chooser->isVisible());
            QTest::mouseClick(chooser, Qt::LeftButton, {}, chooser->ItemRect(item).center());
            QCOMPARE(currentLanguage.load(), language);
            CFunctionDlg* menu = f.window->cameraList()->FunctionMenu();
            menu->ShowAt(QPoint(0, 0), true);
            QCOMPARE(menu->List()->GetText(2), TextIn(language, 20050));
            QVERIFY(menu->List()->width() > menu->List()->fontMetrics().horizontalAdvance(TextIn(language, 20050)));
            f.window->upgradeDialog()->RemoveMenu()->ShowAt(QPoint(0, 0));
            QCOMPARE(f.window->upgradeDialog()->RemoveMenu()->List()->GetText(0), TextIn(language, 20131));
            CAboutDlg about(f.window.get());
            QCOMPARE(about.windowTitle(), TextIn(language, 20140));
            QCOMPARE(about.OkButton()->text(), TextIn(language, 20012));
            // Qt's own dialogs follow, from Qt's translations.
            const QString cancel = QCoreApplication::translate("QPlatformTheme", "Cancel");
            QCOMPARE(cancel == QStringLiteral("Cancel"), language == LANGUAGE_ENGLISH);
        }
        QVERIFY(CLngDlg::ItemLanguage(2) == LANGUAGE_POLISH);
    }

    void captionsFitTheirPlaceInEveryLanguage() {
        guitest::FakeWindow f;
        CTarsel_NextGenerateDlg* window = f.window.get();
        QStringList cut;
        for (int language : guitest::kScreenshotLanguages) {
            window->ApplyLanguage(language);
            cut << Overflowing(window);
            // Texts that come and go: the fixed messages, a result, the confirmations.
            for (int code = 0; code <= 10; ++code) {
                window->ShowFixedMessage(code);
                cut << Overflowing(window->messageDialog()) << Overflowing(window->resultBox());
            }
            const QStringList failed = {UiText(20126), QStringLiteral("/media/usb/c.csv"), UiText(20127)};
            window->resultBox()->ShowResult(1, &failed);
            cut << Overflowing(window->resultBox());
            window->alertDialog()->ShowSoftwareDefault(QStringLiteral("Cameras (2): Gate, Yard"));
            cut << Overflowing(window->alertDialog());
            window->alertDialog()->ShowHardwareDefault();
            cut << Overflowing(window->alertDialog());
            MessageOKCancelDlg question(nullptr, 20132, 20133, 20134);
            CAboutDlg about(window);
            cut << Overflowing(&question) << Overflowing(&about);
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(WindowLanguageTest)
#include "test_window_language.moc"
