#pragma once
// The language chooser, a pop-up under the command bar's language name. It offers every
// language the tool speaks, so that each can be chosen again from any other (Japanese,
// which shows English, is chosen in the settings file only); each name is written in its
// own language.
// The arrows, Enter and Space choose from the keyboard; Escape closes it.

#include "app/PopupPanel.h"
#include "controls/Accessibility.h"

class CLngDlg : public CPopupPanel, public CChoiceList {
    Q_OBJECT
public:
    explicit CLngDlg(QWidget* parent = nullptr);

    static constexpr int kItemHeight = 25;
    static constexpr int kItemCount = 3;
    // The item's text and the language it chooses.
    static QString ItemText(int item);
    static int ItemLanguage(int item);
    QRect ItemRect(int item) const;

    void ShowAt(const QPoint& topLeft);
    void ReloadTexts() { update(); }

    // CChoiceList
    int ChoiceCount() const override { return kItemCount; }
    QString ChoiceText(int choice) const override { return ItemText(choice); }
    QRect ChoiceRect(int choice) const override { return ItemRect(choice); }
    int CurrentChoice() const override { return m_hot; }
    void ActivateChoice(int choice) override;

    void* m_context = nullptr;
    void (*onChosen)(void* context, int language) = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int m_hot = -1;
};
