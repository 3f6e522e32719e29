#pragma once
// The title bar across the top of the frameless main window: the program's name, its
// version and logo, minimise and close buttons; dragging it moves the whole window.

#include <QPoint>
#include <QString>
#include <QWidget>

class CustStatic;
class QToolButton;

// "%d.%d.%d.%d" with each part cut to its low 8 bits.
QString FormatVersionLabel(int major, int minor, int patch, int build);

class CTitleDlg : public QWidget {
    Q_OBJECT
public:
    explicit CTitleDlg(QWidget* parent = nullptr);

    static constexpr int kHeight = 30;

    void ReloadTexts();
    bool Dragging() const { return m_dragging; }
    QToolButton* CloseButton() const { return m_close; }

    void* m_context = nullptr;
    void (*onMove)(void* context, int x, int y) = nullptr;
    void (*onMinimise)(void* context) = nullptr;
    // A double click: maximise the window, or give it back its size.
    void (*onMaximise)(void* context) = nullptr;
    void (*onClose)(void* context) = nullptr;
    // Right click or the Menu key: the window's own menu (export, report, about).
    void (*systemMenu)(void* context, const QPoint& globalPos) = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    // The Menu key (or Shift+F10) on the title bar opens the window's menu below it.
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CustStatic* m_name;
    CustStatic* m_version;
    QToolButton* m_minimise;
    QToolButton* m_close;
    bool m_dragging = false;
    QPoint m_pressWindowPos;
    QPoint m_pressCursorPos;
};
