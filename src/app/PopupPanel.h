#pragma once
// The frame shared by the small pop-up windows of the main window (message, result and
// alert boxes, the choosers): a flat white panel with a grey edge, shown over the main
// window's children and centred on its owner. Enter never closes a panel by itself (a
// focused button takes it); Escape does what the panel's Cancel does, and closes a chooser.
//
// The keyboard focus moves into a panel when it opens (FirstFocus) and goes back, when it
// closes, to the control that had it before, so that a keyboard user goes on where they
// were. While a panel is open, Tab and Shift+Tab move among its own controls only.

#include <QPointer>
#include <QRect>
#include <QWidget>

class CPopupPanel : public QWidget {
    Q_OBJECT
public:
    explicit CPopupPanel(QWidget* parent = nullptr);

    // Moves the panel, keeping its size, so that its centre is the centre of `ownerRect`
    // (given in the parent's coordinates, or the screen's for a window of its own).
    void CentreOn(const QRect& ownerRect);

    // For choosers and menus: hide 100 ms after the focus leaves the panel or its window
    // loses activation (another program's window came to the front), unless the focus or
    // the activation is back by then.
    void HideOnDeactivation();

    // True while the keyboard focus is on the panel or on one of its controls.
    bool ContainsFocus() const;
    // Where the focus goes back to when the panel closes (null when it was nowhere).
    QWidget* FocusBefore() const { return m_focusBefore; }
    // Notes where the focus is now as the place to go back to, for a panel whose owner
    // disables the window's children before the panel shows.
    void RememberFocus();

    void setVisible(bool visible) override;

protected:
    // The control that takes the focus when the panel opens; the panel itself when null.
    virtual QWidget* FirstFocus() { return nullptr; }
    // Escape pressed in the panel: a chooser closes; other panels override it with what
    // their Cancel does.
    virtual void OnEscape();

    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void HideSoon();
    void GiveFocusBack();
    void DropPendingFocus();
    bool m_hideOnDeactivation = false;
    QWidget* m_watchedWindow = nullptr;
    QPointer<QWidget> m_focusBefore;
    bool m_focusNoted = false;
    // The control the focus goes back to once it is enabled again.
    QPointer<QWidget> m_pendingFocus;
};

// True for the keys that would close a window: they are swallowed.
bool IsClosingKey(int key);

// The nearest panel that holds `widget` (or is it), null when none.
CPopupPanel* PanelOf(QWidget* widget);
