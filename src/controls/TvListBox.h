#pragma once
// The owner-painted list box of the small pop-up choice lists: items with hover
// highlighting, a click on an item reports its index to the owner. From the keyboard, the
// arrows, Home and End move the current item and Enter or Space reports it; a screen
// reader reads the items as a list (or a menu, SetMenu).

#include <QColor>
#include <QStringList>
#include <QWidget>

#include "controls/Accessibility.h"

class CTvListBox : public QWidget, public CChoiceList {
    Q_OBJECT
public:
    using Callback = void (*)(void* context, int index);

    static const QColor kHotBackground;
    static const QColor kNormalBackground;

    explicit CTvListBox(QWidget* parent = nullptr);

    void SetCallback(Callback function, void* context);
    int AddString(const QString& text);
    void SetItemText(int index, const QString& text);
    QString GetText(int index) const { return m_items.value(index); }
    void ResetContent();
    int GetCount() const { return static_cast<int>(m_items.size()); }
    void SetItemHeight(int height);
    void SetCurSel(int index);
    int HotItem() const { return m_hot; }
    QRect ItemRect(int index) const;
    int ItemAt(const QPoint& pos) const;
    // The items are commands rather than values to choose.
    void SetMenu(bool menu) { m_menu = menu; }

    // CChoiceList
    int ChoiceCount() const override { return GetCount(); }
    QString ChoiceText(int choice) const override { return GetText(choice); }
    QRect ChoiceRect(int choice) const override { return ItemRect(choice); }
    int CurrentChoice() const override { return m_selected; }
    void ActivateChoice(int choice) override;
    bool ChoicesAreMenu() const override { return m_menu; }

signals:
    // An item taken by a click, Enter or Space (also told to the callback).
    void itemChosen(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QStringList m_items;
    int m_itemHeight = 25;
    int m_hot = -1;
    int m_selected = -1;
    Callback m_callback = nullptr;
    void* m_context = nullptr;
    bool m_menu = false;
};
