#pragma once
// How a list column sorts, the way a person reads it: runs of digits compare by their
// value ("Cam-2" < "Cam-10" < "Cam-100"), which orders dotted addresses by their value too,
// and the text between them compares without regard to case. Texts that differ only in
// case or in leading zeros end in a fixed order, so the rule is a consistent order for any
// mix of texts a column holds.

#include <QString>

// Negative, zero or positive as `a` sorts before, with or after `b` (ascending); zero only
// for equal texts.
int CompareListTexts(const QString& a, const QString& b);
