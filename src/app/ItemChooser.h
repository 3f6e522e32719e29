#pragma once
// A small pop-up list of text items under a button or field (the address-mode chooser, the
// initialise chooser): a mouse-button release over an item chooses it, and so do Enter and
// Space on the item the arrows moved to; Escape closes it. It hides itself 100 ms after it
// loses the focus, unless the focus came back by then. Item texts are caption ids, read in
// the current language each time they are painted.

#include <QList>

#include "app/PopupPanel.h"
#include "controls/Accessibility.h"

class CItemChooser : public CPopupPanel, public CChoiceList {
    Q_OBJECT
public:
    // Items of itemHeight pixels stacked from itemTop; the width grows past minWidth when a
    // translated item would not fit.
    CItemChooser(QWidget* parent, QList<int> captionIds, int minWidth, int itemTop,
                 int itemHeight, int bottomMargin);

    int ItemCount() const { return static_cast<int>(m_ids.size()); }
    QString ItemText(int item) const;
    QRect ItemRect(int item) const;
    void ShowAt(const QPoint& topLeft);
    void ReloadTexts();

    // CChoiceList
    int ChoiceCount() const override { return ItemCount(); }
    QString ChoiceText(int choice) const override { return ItemText(choice); }
    QRect ChoiceRect(int choice) const override { return ItemRect(choice); }
    int CurrentChoice() const override { return m_hot; }
    void ActivateChoice(int choice) override;

protected:
    virtual void OnItemChosen(int item) = 0;
    void OnEscape() override { hide(); }

    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void FitWidth();

    QList<int> m_ids;
    int m_minWidth, m_itemTop, m_itemHeight;
    int m_hot = -1;
};
