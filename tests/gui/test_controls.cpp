// The custom controls: validation colours, disabled looks, captions through the caption
// remapping, and labels that leave no trace of a longer text.

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

        CustEdit port;
        port.SetValidation(3);
        port.setText(QStringLiteral("080"));
        QCOMPARE(port.TextColour(), red);
        port.setText(QStringLiteral("80"));
        QCOMPARE(port.TextColour(), QColor(0, 0, 0));

        CustEdit mask;
        mask.SetValidation(2);
        mask.setText(QStringLiteral("255.255.0.255"));
        QCOMPARE(mask.TextColour(), red);
        mask.setText(QStringLiteral("255.255.255.0"));
        QCOMPARE(mask.TextColour(), QColor(0, 0, 0));

        // Kind 0 checks nothing; changing the kind re-checks the text already there.
        CustEdit plain;
        plain.setText(QStringLiteral("192.168.1.300"));
        QCOMPARE(plain.TextColour(), QColor(0, 0, 0));
        plain.SetValidation(1);
        QCOMPARE(plain.TextColour(), red);
        plain.SetValidation(0);
        QCOMPARE(plain.TextColour(), QColor(0, 0, 0));
    }

    void disabledControlsTakeTheDisabledColours() {
        CustEdit edit;
        edit.resize(180, 26);
        edit.setText(QStringLiteral("abc"));
        QImage image = edit.grab().toImage();
        QCOMPARE(image.pixelColor(150, 13), QColor(245, 245, 245));
        edit.setEnabled(false);
        image = edit.grab().toImage();
        QCOMPARE(image.pixelColor(150, 13), QColor(220, 220, 220));
        // The grey outline, 2 pixels wide, at the edge.
        QCOMPARE(image.pixelColor(1, 13), QColor(200, 200, 200));

        CustButton button;
        button.resize(100, 30);
        button.setText(QStringLiteral("Save"));
        button.SetBackground(QColor(10, 200, 10));
        button.SetTextColour(QColor(0, 0, 0));
        image = button.grab().toImage();
        QCOMPARE(image.pixelColor(3, 3), QColor(10, 200, 10));
        button.setEnabled(false);
        image = button.grab().toImage();
        QCOMPARE(image.pixelColor(3, 3), QColor(179, 179, 179));
        QCOMPARE(button.PaintedTextColour(), QColor(255, 255, 255));
        QVERIFY(guitest::CountColour(image, image.rect(), QColor(255, 255, 255), 10) > 5);
        QCOMPARE(guitest::CountColour(image, image.rect(), QColor(0, 0, 0), 60), 0);

        // Pressed: the pressed background.
        button.setEnabled(true);
        button.setDown(true);
        QCOMPARE(button.grab().toImage().pixelColor(3, 3), QColor(0, 200, 255));
    }

    void captionsPassThroughTheCaptionRemapping() {
        CustStatic label;
        SetTextById(&label, 20079);
        QCOMPARE(label.text(), QStringLiteral("Factory Defaults"));
        QCOMPARE(UiText(20079), QStringLiteral("Hardware default"));
        CustButton button;
        SetTextById(&button, 20035);
        QCOMPARE(button.text(), QStringLiteral("Reboot"));
        SetTextById(&button, 20021);
        QCOMPARE(button.text(), QStringLiteral("Save"));

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

    void labelShrinksATextThatWouldBeCut() {
        CustStatic label;
        label.resize(120, 20);
        label.SetFont(16, 400);
        label.setText(QStringLiteral("Short"));
        label.SetShrinkToFit(true);
        QCOMPARE(label.PaintedFont().pixelSize(), label.font().pixelSize());
        label.setText(QStringLiteral("A much longer text than the label can hold"));
        const QFont painted = label.PaintedFont();
        QVERIFY(painted.pixelSize() < label.font().pixelSize());
        QVERIFY(QFontMetrics(painted).horizontalAdvance(label.text()) <= label.width() ||
                painted.pixelSize() == 8);
    }
};

QTEST_MAIN(ControlsTest)
#include "test_controls.moc"
