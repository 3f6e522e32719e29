#include "controls/ListStatus.h"

#include "controls/UiText.h"

namespace {
const QColor kLightGrey(230, 230, 230);
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);
}  // namespace

StatusLook LookOfStatus(int index) {
    switch (index) {
        case 0: return {20036, StatusStyle::Underlined, QColor(128, 128, 255)};
        case 1: return {20036, StatusStyle::Underlined, QColor(0, 0, 255)};
        case 2: return {20038, StatusStyle::Plain, kBlack};
        case 3: return {20102, StatusStyle::Plain, kRed};
        case 4: return {20039, StatusStyle::Plain, kBlack};
        case 5: return {0, StatusStyle::Bold, kLightGrey};
        case 6: return {20066, StatusStyle::Bold, kLightGrey};
        case 7: return {20023, StatusStyle::Plain, kRed};
        case 8: return {20084, StatusStyle::Plain, kRed};
        case 9: return {20097, StatusStyle::Plain, kRed};
        case 10: return {20102, StatusStyle::Plain, kRed};
        case 11: return {20098, StatusStyle::Plain, kBlack};
        case 12: return {20099, StatusStyle::Plain, kBlack};
        case 13: return {20100, StatusStyle::Plain, kBlack};
        case 15:
        case 16: return {20101, StatusStyle::Plain, kRed};
        default: return {0, StatusStyle::Bold, kLightGrey};  // 14, 17 and above, negatives
    }
}

QString StatusText(int index, const QString& callerText) {
    const int id = LookOfStatus(index).textId;
    if (id == 0) return callerText;
    UiCheckLanguage();
    return UiText(id);
}
