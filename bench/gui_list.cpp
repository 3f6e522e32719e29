// The report list with 1,000 rows: how long inserting them, sorting a column, rewriting
// every status text after a language change and repainting the visible rows take. Run
// with QT_QPA_PLATFORM=offscreen; prints the median and the worst of several rounds.

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "app/Tarsel_NextGenerateApp.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "common/Config.h"
#include "common/Language.h"
#include "controls/TvListCtrl.h"
#include "engine/LiveEnginePorts.h"

namespace {
constexpr int kRows = 1000;
constexpr int kRounds = 15;

CTvListCtrl* MakeList() {
    auto* list = new CTvListCtrl;
    const int widths[] = {120, 130, 110, 110, 110, 60, 70, 90, 100, 110};
    for (int i = 0; i < 10; ++i) list->InsertColumn(i, QStringLiteral("Column %1").arg(i), widths[i]);
    list->SetCheckBoxes(true);
    list->SetRowHeight(25);
    list->SetProgressColumn(9, QColor(0, 0, 255));
    list->resize(1120, 300);
    return list;
}

void Fill(CTvListCtrl* list) {
    for (int i = 0; i < kRows; ++i) {
        const QString mac = QStringLiteral("00:1A:2B:%1:%2:%3")
                                .arg((i >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
                                .arg((i >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
                                .arg(i & 0xFF, 2, 16, QLatin1Char('0'));
        const int row = list->InsertItem(list->GetItemCount(), QStringLiteral("Camera-%1").arg((i * 7919) % kRows), mac);
        list->SetItemText(row, 1, mac);
        list->SetItemText(row, 2, QStringLiteral("10.%1.%2.%3").arg((i * 31) % 256).arg((i * 17) % 256).arg(i % 250 + 1));
        list->SetItemText(row, 3, QStringLiteral("255.255.0.0"));
        list->SetItemText(row, 5, QStringLiteral("80"));
        list->SetRowStatus(row, (i % 13) + 1, QStringLiteral("%1%").arg(i % 100));
    }
}

struct Figure {
    const char* name;
    std::vector<double> ms;
};

void Report(Figure& figure) {
    std::sort(figure.ms.begin(), figure.ms.end());
    std::printf("%-44s median %7.2f ms   worst %7.2f ms   (%zu rounds)\n", figure.name,
                figure.ms[figure.ms.size() / 2], figure.ms.back(), figure.ms.size());
}

double Time(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    PrepareTarselUi();
    QApplication app(argc, argv);
    Figure insert{"insert 1,000 rows (10 cells + status each)", {}};
    Figure sortAddress{"sort 1,000 rows by address column", {}};
    Figure sortText{"sort 1,000 rows by text column", {}};
    Figure refresh{"language refresh of 1,000 status texts", {}};
    Figure paint{"paint the visible rows (1120 x 300)", {}};
    Figure window{"main window ApplyLanguage (every window)", {}};

    for (int round = 0; round < kRounds; ++round) {
        currentLanguage.store(LANGUAGE_ENGLISH);
        SetThreadLanguage(LANGUAGE_ENGLISH);
        CTvListCtrl* list = MakeList();
        insert.ms.push_back(Time([&] { Fill(list); }));
        sortAddress.ms.push_back(Time([&] { list->SortByColumn(2); }));
        sortText.ms.push_back(Time([&] { list->SortByColumn(0); }));
        const int language = round % 2 == 0 ? LANGUAGE_POLISH : LANGUAGE_CHINESE_TRADITIONAL;
        currentLanguage.store(language);
        SetThreadLanguage(language);
        refresh.ms.push_back(Time([&] { list->RefreshStatusTexts(); }));
        QImage canvas(list->size(), QImage::Format_ARGB32_Premultiplied);
        paint.ms.push_back(Time([&] { list->render(&canvas); }));
        delete list;
    }

    SetConfigPath("/nonexistent-tarsel-bench/tarsel.ini");
    currentLanguage.store(-1);
    {
        HttpOnlyEnginePorts quiet;  // the window's engine sends no discovery here
        CTarsel_NextGenerateDlg dialog(quiet);
        for (int round = 0; round < kRounds; ++round) {
            const int language = round % 2 == 0 ? LANGUAGE_CHINESE_TRADITIONAL : LANGUAGE_POLISH;
            window.ms.push_back(Time([&] { dialog.ApplyLanguage(language); }));
        }
    }

    for (Figure* figure : {&insert, &sortAddress, &sortText, &refresh, &paint, &window}) Report(*figure);
    return 0;
}
