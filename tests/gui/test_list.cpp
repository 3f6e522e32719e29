// The custom report list and list box: sorting, check marks, status texts and styles, the
// progress bar, notifications to the parent, and calls from worker threads.

#include <QTest>
#include <atomic>
#include <thread>

#include "GuiTestSupport.h"
#include "controls/CameraEvent.h"
#include "controls/TvListBox.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"
#include "platform/Log.h"

namespace {
// A dialog that counts the camera events its list posts to it.
class EventCounter : public QWidget {
public:
    int checkChanged = 0;
    bool event(QEvent* event) override {
        if (event->type() == WM_CAMERA_EVENT && static_cast<CCameraEvent*>(event)->m_code == EVT_CHECK_CHANGED) {
            ++checkChanged;
            return true;
        }
        return QWidget::event(event);
    }
};

struct Asked {
    int calls = 0;
    int lastRow = -2;
    int lastKind = -1;
    bool answer = false;
};

bool AskOwner(void* context, int row, int kind) {
    auto* asked = static_cast<Asked*>(context);
    ++asked->calls;
    asked->lastRow = row;
    asked->lastKind = kind;
    return asked->answer;
}

// A list of ten columns, the camera list's shape, with rows keyed by column 1.
CTvListCtrl* MakeList(QWidget* parent) {
    auto* list = new CTvListCtrl(parent);
    for (int i = 0; i < 10; ++i) list->InsertColumn(i, QString::number(i), 100);
    list->SetCheckBoxes(true);
    list->setGeometry(0, 0, 1040, 260);
    return list;
}

int AddRow(CTvListCtrl* list, const QString& name, const QString& mac, const QString& ip) {
    const int row = list->InsertItem(list->GetItemCount(), name, mac);
    list->SetItemText(row, 1, mac);
    list->SetItemText(row, 2, ip);
    return row;
}

QStringList Column(CTvListCtrl* list, int column) {
    QStringList texts;
    for (int row = 0; row < list->GetItemCount(); ++row) texts << list->GetItemText(row, column);
    return texts;
}

void ClickHeader(CTvListCtrl* list, int column) {
    const QRect cell = list->CellRect(0, column);
    QTest::mouseClick(list->Header()->viewport(), Qt::LeftButton, {}, QPoint(cell.center().x(), 10));
}

void ClickCheck(CTvListCtrl* list, int row, Qt::MouseButton button = Qt::LeftButton) {
    const QRect cell = list->CellRect(row, 0);
    QTest::mouseClick(list->viewport(), button, {}, QPoint(cell.left() + 10, cell.center().y()));
}
}  // namespace

class ListTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void init() { guitest::UseLanguage(LANGUAGE_ENGLISH); }

    void sortsNaturallyEachListByItselfWithAnArrow() {
        QWidget dialog;
        CTvListCtrl* list = MakeList(&dialog);
        AddRow(list, QStringLiteral("9"), QStringLiteral("00:00:00:00:00:01"), QStringLiteral("192.168.0.1"));
        AddRow(list, QStringLiteral("10"), QStringLiteral("00:00:00:00:00:02"), QStringLiteral("9.0.0.1"));
        AddRow(list, QStringLiteral("b"), QStringLiteral("00:00:00:00:00:03"), QStringLiteral("10.0.0.1"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        ClickHeader(list, 2);
        QCOMPARE(Column(list, 2), QStringList({"9.0.0.1", "10.0.0.1", "192.168.0.1"}));
        ClickHeader(list, 2);  // the same column again: descending
        QCOMPARE(Column(list, 2), QStringList({"192.168.0.1", "10.0.0.1", "9.0.0.1"}));
        QCOMPARE(list->Header()->SortMarkColumn(), 2);
        QCOMPARE(list->Header()->SortMarkOrder(), Qt::DescendingOrder);
        // The header marks the column sorted by: its arrow is painted in the title's colour.
        const QRect arrow(list->Header()->sectionViewportPosition(3) - 16, 0, 16, 20);
        QVERIFY(guitest::CountColour(list->Header()->viewport()->grab().toImage(), arrow, CTvListHeader::kTextColour, 30) > 4);
        ClickHeader(list, 0);  // another column: ascending, numbers by their value
        QCOMPARE(Column(list, 0), QStringList({"9", "10", "b"}));

        // The units follow their rows: row states are found by key, not by position.
        const int row9 = list->FindRowByKey(QStringLiteral("00:00:00:00:00:01"));
        list->SetRowStatus(row9, 7);
        ClickHeader(list, 0);
        QCOMPARE(list->GetRowStatus(list->FindRowByKey(QStringLiteral("00:00:00:00:00:01"))), 7);
        QCOMPARE(list->GetRowStatus(list->FindRowByKey(QStringLiteral("00:00:00:00:00:02"))), 0);

        // Each list keeps its own column and direction.
        list->SortByColumn(0);  // column 0 ascending again
        QWidget other;
        CTvListCtrl* second = MakeList(&other);
        for (const char* name : {"Cam-1000", "cam-101", "Cam-100", "Cam-99"}) AddRow(second, QString::fromLatin1(name), QString::fromLatin1(name), {});
        second->SortByColumn(0);  // the first list's last column, yet ascending here
        QCOMPARE(Column(second, 0), QStringList({"Cam-99", "Cam-100", "cam-101", "Cam-1000"}));
    }

    void checkClicksFollowTheStatesAndAskTheOwner() {
        EventCounter dialog;
        CTvListCtrl* list = MakeList(&dialog);
        for (int i = 0; i < 3; ++i)
            AddRow(list, QStringLiteral("cam%1").arg(i), QStringLiteral("mac%1").arg(i), QStringLiteral("10.0.0.%1").arg(i));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        // Without a callback: unchecked -> checked -> unchecked.
        ClickCheck(list, 0);
        QCOMPARE(list->GetCheck(0), 1);
        ClickCheck(list, 0);
        QCOMPARE(list->GetCheck(0), 0);
        QVERIFY(guitest::WaitUntil([&] { return dialog.checkChanged == 2; }, 1000));

        // State -1 changes nothing, but the parent still hears of the click.
        list->SetCheck(1, -1);
        ClickCheck(list, 1);
        QCOMPARE(list->GetCheck(1), -1);
        QVERIFY(guitest::WaitUntil([&] { return dialog.checkChanged == 3; }, 1000));

        // The owner refuses: the row stays unchecked; it agrees: checked.
        Asked asked;
        list->SetCallback(&AskOwner, &asked);
        ClickCheck(list, 2);
        QCOMPARE(asked.calls, 1);
        QCOMPARE(asked.lastRow, 2);
        QCOMPARE(asked.lastKind, 0);
        QCOMPARE(list->GetCheck(2), 0);
        asked.answer = true;
        ClickCheck(list, 2);
        QCOMPARE(list->GetCheck(2), 1);
        // Unchecking asks nobody.
        ClickCheck(list, 2);
        QCOMPARE(asked.calls, 2);
        QCOMPARE(list->GetCheck(2), 0);

        // A press further right selects without touching the check mark.
        const QRect name = list->CellRect(1, 2);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, name.center());
        QCOMPARE(list->GetSelectedRow(), 1);
        QCOMPARE(list->GetCheck(1), -1);

        // A right click reports the row under the pointer with kind 1.
        ClickCheck(list, 0, Qt::RightButton);
        QCOMPARE(asked.lastKind, 1);
        QCOMPARE(asked.lastRow, 0);

        list->SetAllChecks(1);
        QCOMPARE(list->GetCheck(1), 1);
    }

    void statusColumnShowsTextsStylesAndProgress() {
        QWidget dialog;
        CTvListCtrl* list = MakeList(&dialog);
        list->SetProgressColumn(9, QColor(0, 0, 255));
        const int row = AddRow(list, QStringLiteral("cam"), QStringLiteral("mac"), QStringLiteral("10.0.0.1"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        list->SetRowProgress(row, 42);
        list->SetRowStatus(row, 5, QStringLiteral("42%"));
        QCOMPARE(list->GetItemText(row, 9), QStringLiteral("42%"));
        QCOMPARE(list->GetRowStatus(row), 5);
        // The bar is painted in the row's cell while the status is 5, and only then.
        const QRect cell = list->CellRect(row, 9);
        const QImage image = list->viewport()->grab().toImage();
        QVERIFY(guitest::CountColour(image, cell, QColor(0, 0, 255), 30) > cell.height());
        // A full bar stays in its cell; a percentage beside a short bar is dark enough to
        // read on white, and white on the bar; a long status text keeps to its cell.
        list->SetRowProgress(row, 100);
        list->SetRowStatus(row, 5, QStringLiteral("100%"));
        const QRect beyond(cell.right() + 1, cell.top(), 30, cell.height());
        QImage full = list->viewport()->grab().toImage();
        QCOMPARE(guitest::CountColour(full, beyond, QColor(0, 0, 255), 30), 0);
        QVERIFY(guitest::CountColour(full, cell, QColor(255, 255, 255), 10) > 5);
        list->SetRowProgress(row, 3);
        list->SetRowStatus(row, 5, QStringLiteral("3%"));
        QVERIFY(guitest::CountColour(list->viewport()->grab().toImage(), cell, QColor(70, 70, 90), 40) > 5);
        list->SetRowStatus(row, 11);  // "Different Network Cards", wider than the column
        QCOMPARE(guitest::CountColour(list->viewport()->grab().toImage(), beyond, QColor(0, 0, 0), 60), 0);
        QCOMPARE(list->CellTip(row, 9), UiText(20098));  // the whole text as the tip
        // Without status 5 there is no bar.
        list->SetRowStatus(row, 2);
        const QImage plain = list->viewport()->grab().toImage();
        QCOMPARE(guitest::CountColour(plain, cell, QColor(0, 0, 255), 30), 0);

        // -1 keeps the index; an index without text and no text given keeps the cell.
        list->SetRowStatus(row, 7);
        list->SetRowStatus(row, -1, QStringLiteral("ignored"));
        QCOMPARE(list->GetRowStatus(row), 7);
        QCOMPARE(list->GetItemText(row, 9), QStringLiteral("Verify Fail"));
        list->SetRowStatus(row, 14);
        QCOMPARE(list->GetItemText(row, 9), QStringLiteral("Verify Fail"));

        // After a language change the texts are rewritten in the new language.
        list->SetRowStatus(row, 7);
        const int other = AddRow(list, QStringLiteral("cam2"), QStringLiteral("mac2"), QStringLiteral("10.0.0.2"));
        list->SetRowStatusByKey(QStringLiteral("mac2"), 3);
        guitest::UseLanguage(LANGUAGE_POLISH);
        list->RefreshStatusTexts();
        QCOMPARE(list->GetItemText(row, 9), UiText(20023));
        QCOMPARE(list->GetItemText(other, 9), UiText(20102));
        QVERIFY(UiText(20023) != QStringLiteral("Verify Fail"));
        guitest::UseLanguage(LANGUAGE_ENGLISH);

        // Deleting a row frees its unit: the other row keeps its status.
        tarsel::CapturingLogSink log;
        list->SetRowStatus(other, 4);
        QVERIFY(list->DeleteItem(row));
        QVERIFY(log.Contains("DeleteItem 0"));
        QCOMPARE(list->GetItemCount(), 1);
        QCOMPARE(list->FindRowByKey(QStringLiteral("mac")), -1);
        QCOMPARE(list->GetRowStatus(0), 4);
        QVERIFY(!list->DeleteItem(5));
    }

    void listBoxHighlightsAndReportsItems() {
        CTvListBox box;
        box.resize(150, 75);
        box.AddString(QStringLiteral("Open website"));
        box.AddString(QStringLiteral("Upgrade single"));
        box.AddString(QStringLiteral("Upgrade selected"));
        int chosen = -1;
        box.SetCallback([](void* context, int index) { *static_cast<int*>(context) = index; }, &chosen);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::mouseMove(&box, QPoint(70, 37));
        QVERIFY(guitest::WaitUntil([&] { return box.HotItem() == 1; }, 1000));
        QTest::mouseRelease(&box, Qt::LeftButton, {}, QPoint(70, 60));
        QCOMPARE(chosen, 2);
        chosen = -1;
        box.resize(150, 120);
        QTest::mouseRelease(&box, Qt::LeftButton, {}, QPoint(70, 100));  // below every item
        QCOMPARE(chosen, -1);
    }

};

QTEST_MAIN(ListTest)
#include "test_list.moc"
