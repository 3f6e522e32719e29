#pragma once
// The frame shared by the small pop-up windows of the main window (message, result and
// alert boxes, the choosers): a flat white panel with a grey edge, shown over the main
// window's children and centred on its owner. Enter and Escape are swallowed: they never
// close a window of this tool.

#include <QRect>
#include <QWidget>

class CPopupPanel : public QWidget {
    Q_OBJECT
public:
    explicit CPopupPanel(QWidget* parent = nullptr);

    // Moves the panel, keeping its size, so that its centre is the centre of `ownerRect`
    // (given in the parent's coordinates, or the screen's for a window of its own).
    void CentreOn(const QRect& ownerRect);

    // For choosers and menus: hide 100 ms after the panel loses the focus or its window
    // loses activation (another program's window came to the front), unless the focus or
    // the activation is back by then.
    void HideOnDeactivation();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void HideSoon();
    bool m_hideOnDeactivation = false;
    QWidget* m_watchedWindow = nullptr;
};

// True for the keys that would close a window: they are swallowed.
bool IsClosingKey(int key);
