#pragma once
// Small builders for the controls of the tool windows' forms: a label, an edit and a
// button placed at a rectangle, their captions set by text id so that a language switch
// sets them again.

#include <QRect>

class CustButton;
class CustEdit;
class CustStatic;
class QWidget;

CustStatic* MakeLabel(QWidget* parent, int textId, const QRect& place, int fontHeight = 16,
                      int weight = 400);
// maxLength 0 leaves the length free; password shows stars.
CustEdit* MakeEdit(QWidget* parent, const QRect& place, int maxLength, bool password = false,
                   int validation = 0);
CustButton* MakeButton(QWidget* parent, int textId, const QRect& place);
