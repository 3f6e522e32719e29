// The custom controls: validation colours, captions through the caption remapping, and
// labels that leave no trace of a longer text.

#include <QTest>

#include "GuiTestSupport.h"
#include "controls/CustControls.h"
#include "controls/UiText.h"

class ControlsTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void initTestCase() { guitest::UseLanguage(LANGUAGE_ENGLISH); }

    void editShowsInvalidTextInRed() {
        const QColor red(255, 0, 0);
        CustEdit address;
        address.resize(180, 26);
        address.SetValidation(1);
        address.setText(QStringLiteral("192.168.1.300"));
        QCOMPARE(address.TextColour(), red);
        // The text really is painted red, not only announced so.
        QImage image = address.grab().toImage();
        QVERIFY(guitest::CountColour(image, image.rect(), red, 60) > 10);
        address.setText(QStringLiteral("192.168.1.30"));
        QCOMPARE(address.TextColour(), QColor(0, 0, 0));
        image = address.grab().toImage();
        QCOMPARE(guitest::CountColour(image, image.rect(), red, 60), 0);

        // Kind 0 checks nothing; changing the kind re-checks the text already there.
        CustEdit plain;
        plain.setText(QStringLiteral("192.168.1.300"));
        QCOMPARE(plain.TextColour(), QColor(0, 0, 0));
        plain.SetValidation(1);
        QCOMPARE(plain.TextColour(), red);
        plain.SetValidation(0);
        QCOMPARE(plain.TextColour(), QColor(0, 0, 0));
    }

    void captionsPassThroughTheCaptionRemapping() {
        // After a language switch the same ids are set again in the new language.
        QWidget holder;
        auto* inner = new CustStatic(&holder);
        SetTextById(inner, 20027);
        guitest::UseLanguage(LANGUAGE_POLISH);
        const QString polish = UiCaption(20027);
        ReloadTextIds(&holder);
        guitest::UseLanguage(LANGUAGE_ENGLISH);
        QVERIFY(polish != QStringLiteral("Refresh"));
        QCOMPARE(inner->text(), polish);
    }

    void transparentLabelLeavesNoTraceOfALongerText() {
        QWidget parent;
        parent.resize(300, 40);
        parent.setAutoFillBackground(true);
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, QColor(255, 255, 255));
        parent.setPalette(pal);
        auto* label = new CustStatic(&parent);
        label->setGeometry(0, 0, 300, 40);
        label->SetTextColour(QColor(0, 0, 0));
        label->setText(QStringLiteral("WWWWWWWWWWWWWWWWWWWW"));
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QImage image = parent.grab().toImage();
        QVERIFY(guitest::CountColour(image, QRect(150, 0, 150, 40), QColor(0, 0, 0), 80) > 20);
        label->setText(QStringLiteral("W"));
        image = parent.grab().toImage();
        QCOMPARE(guitest::CountColour(image, QRect(40, 0, 260, 40), QColor(0, 0, 0), 80), 0);
    }

    void labelWrapsATextThatWouldBeCutInItsOwnSize() {
        QWidget parent;
        parent.resize(160, 40);
        auto* label = new CustStatic(&parent);
        label->setGeometry(0, 0, 160, 40);
        label->SetTextColour(QColor(0, 0, 0));
        label->SetWrapToFit(true);
        // Too wide for one line: two lines in the label's own font, ink in both halves.
        label->setText(QStringLiteral("Network interface controller"));
        QVERIFY(label->TextFits());
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        const QImage image = parent.grab().toImage();
        QVERIFY(guitest::CountColour(image, QRect(0, 0, 160, 19), QColor(0, 0, 0), 80) > 10);
        QVERIFY(guitest::CountColour(image, QRect(0, 21, 160, 19), QColor(0, 0, 0), 80) > 10);
        label->resize(160, 20);  // too low for the lines it needs: the layout must give room
        QVERIFY(!label->TextFits());
    }
};

QTEST_MAIN(ControlsTest)
#include "test_controls.moc"
