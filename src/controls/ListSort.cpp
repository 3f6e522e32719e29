#include "controls/ListSort.h"

namespace {
bool IsDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// The end of the run of the same kind (digits or not) that starts at `at`.
qsizetype RunEnd(const QString& text, qsizetype at) {
    const bool digits = IsDigit(text[at]);
    while (at < text.size() && IsDigit(text[at]) == digits) ++at;
    return at;
}

// Two runs of digits by value: without their leading zeros, the longer is larger, and
// runs of one length compare digit by digit.
int CompareNumbers(QStringView a, QStringView b) {
    while (a.size() > 1 && a.front() == QLatin1Char('0')) a = a.mid(1);
    while (b.size() > 1 && b.front() == QLatin1Char('0')) b = b.mid(1);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}
}  // namespace

int CompareListTexts(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const qsizetype endA = RunEnd(a, i), endB = RunEnd(b, j);
        const QStringView runA = QStringView(a).mid(i, endA - i), runB = QStringView(b).mid(j, endB - j);
        const bool digitsA = IsDigit(a[i]), digitsB = IsDigit(b[j]);
        // A number sorts before a word at the same place.
        int result = digitsA != digitsB ? (digitsA ? -1 : 1)
                     : digitsA          ? CompareNumbers(runA, runB)
                                        : runA.compare(runB, Qt::CaseInsensitive);
        if (result != 0) return result < 0 ? -1 : 1;
        i = endA;
        j = endB;
    }
    if ((i < a.size()) != (j < b.size())) return i < a.size() ? 1 : -1;
    // Equal to the eye ("cam-01" and "Cam-1"): a fixed order all the same.
    const int exact = a.compare(b);
    return exact < 0 ? -1 : exact > 0 ? 1 : 0;
}
