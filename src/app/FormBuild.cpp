#include "app/FormBuild.h"

#include "controls/CustControls.h"

CustStatic* MakeLabel(QWidget* parent, int textId, const QRect& place, int fontHeight, int weight) {
    auto* label = new CustStatic(parent);
    label->SetFont(fontHeight, weight);
    label->SetWrapToFit(true);
    label->setGeometry(place);
    if (textId != 0) SetTextById(label, textId);
    return label;
}

CustEdit* MakeEdit(QWidget* parent, const QRect& place, int maxLength, bool password, int validation) {
    auto* edit = new CustEdit(parent);
    if (maxLength > 0) edit->setMaxLength(maxLength);
    if (password) edit->setEchoMode(QLineEdit::Password);
    edit->SetValidation(validation);
    edit->setGeometry(place);
    return edit;
}

CustButton* MakeButton(QWidget* parent, int textId, const QRect& place) {
    auto* button = new CustButton(parent);
    button->SetFont(16, 700);
    button->setGeometry(place);
    if (textId != 0) SetTextById(button, textId);
    return button;
}
