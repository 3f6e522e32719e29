#pragma once
// What the window's message boxes share: three centred lines that wrap, the owner's slots
// (told when the box shows and closes, asked for the rectangle to centre on), and the way a
// box appears: centred on its owner, above the window's children, read as an alert by a
// screen reader (again when another message takes its place).

#include "app/PopupPanel.h"

class CustStatic;

class CMessagePanel : public CPopupPanel {
    Q_OBJECT
public:
    CustStatic* Line(int index) const { return m_lines[index]; }

    // Three centred lines that wrap, starting at `top`, `step` pixels apart.
    static void BuildLines(QWidget* parent, CustStatic* (&lines)[3], int top, int step);

    void* m_context = nullptr;
    void (*onShow)(void* context) = nullptr;
    void (*onClose)(void* context) = nullptr;
    void (*getOwnerRect)(void* context, QRect* rect) = nullptr;

protected:
    CMessagePanel(QWidget* parent, int top, int step);
    // Centres the box on its owner and shows it.
    void ShowAlert();
    void TellShown() {
        if (onShow != nullptr) onShow(m_context);
    }
    void TellClosed() {
        if (onClose != nullptr) onClose(m_context);
    }

    CustStatic* m_lines[3];
};
