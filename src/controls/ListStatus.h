#pragma once
// How a row's status index looks in the status column of a list: the text it stands for
// (or the caller's own text), its style and its colour. The list models read the text, the
// list view paints the style and colour; neither needs the other for it.

#include <QColor>
#include <QString>

enum class StatusStyle { Underlined, Plain, Bold };

struct StatusLook {
    int textId;  // 0: the caller's text
    StatusStyle style;
    QColor colour;
};

// Text id, style and colour of a status index.
StatusLook LookOfStatus(int index);

// The status column's text of an index: its own text in the current language, or the
// caller's text for an index that has none.
QString StatusText(int index, const QString& callerText);
