#include "controls/ListSort.h"

namespace {
bool IsDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

// A letter without its case: the common ASCII letters directly, others as Unicode folds.
char32_t Folded(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80) return u >= u'A' && u <= u'Z' ? u + 32 : u;
    return QChar::toCaseFolded(static_cast<char32_t>(u));
}
}  // namespace

// Read as a row of pieces: runs of digits (numbers) and single other characters. Numbers
// compare by value and sort before characters; characters compare by their fold.
int CompareListTexts(const QString& a, const QString& b) {
    const QChar *p = a.constData(), *pEnd = p + a.size();
    const QChar *q = b.constData(), *qEnd = q + b.size();
    while (p < pEnd && q < qEnd) {
        const bool digitP = IsDigit(*p), digitQ = IsDigit(*q);
        if (digitP != digitQ) return digitP ? -1 : 1;
        if (!digitP) {
            const char32_t x = Folded(*p++), y = Folded(*q++);
            if (x != y) return x < y ? -1 : 1;
            continue;
        }
        // Two numbers: without their leading zeros, the longer is larger, and numbers of
        // one length compare digit by digit.
        while (p < pEnd && *p == u'0') ++p;
        while (q < qEnd && *q == u'0') ++q;
        const QChar *numberP = p, *numberQ = q;
        while (p < pEnd && IsDigit(*p)) ++p;
        while (q < qEnd && IsDigit(*q)) ++q;
        if (p - numberP != q - numberQ) return p - numberP < q - numberQ ? -1 : 1;
        for (; numberP < p; ++numberP, ++numberQ)
            if (*numberP != *numberQ) return *numberP < *numberQ ? -1 : 1;
    }
    if ((p < pEnd) != (q < qEnd)) return p < pEnd ? 1 : -1;
    // Equal to the eye ("cam-01" and "Cam-1"): a fixed order all the same.
    const int exact = a.compare(b);
    return exact < 0 ? -1 : exact > 0 ? 1 : 0;
}
