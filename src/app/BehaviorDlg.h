#pragma once
// The command bar below the title bar: a row of icon buttons with tooltips and, at its
// right end, the current language's own name with the arrow; either opens the language
// chooser.

#include <QWidget>

class CLngDlg;
class CustStatic;
class QToolButton;

class CBehaviorDlg : public QWidget {
    Q_OBJECT
public:
    // Control ids of the buttons, left to right.
    static constexpr int kRefresh = 1101;
    static constexpr int kIpSearch = 1109;
    static constexpr int kView = 1100;
    static constexpr int kInitialize = 1102;
    static constexpr int kAutoIp = 1106;
    static constexpr int kUpgrade = 1107;
    static constexpr int kLanguage = 1104;
    static constexpr int kHeight = 40;

    // popupParent holds the language chooser, so that it can drop below the bar.
    CBehaviorDlg(QWidget* parent, QWidget* popupParent);

    QToolButton* Button(int id) const;
    CustStatic* LanguageLabel() const { return m_languageName; }
    CLngDlg* LanguageChooser() const { return m_chooser; }
    void EnableButton(int id, bool enable);
    void ReloadTexts();
    void ToggleLanguageChooser();

    void* m_context = nullptr;
    void (*onRefresh)(void* context) = nullptr;
    void (*onIpSearch)(void* context) = nullptr;
    void (*onWebsite)(void* context) = nullptr;
    void (*onInitialize)(void* context) = nullptr;
    void (*onAutoIp)(void* context) = nullptr;
    void (*onUpgrade)(void* context) = nullptr;
    void (*onLanguage)(void* context, int language) = nullptr;

protected:
    // A click anywhere on the language's name opens the chooser, as the arrow does.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct Command {
        int id;
        int icon;
        int disabledIcon;
        int tooltip;
        QToolButton* button;
    };
    static void OnLanguageChosen(void* context, int language);

    Command m_commands[6];
    CustStatic* m_languageName;
    QToolButton* m_arrow;
    CLngDlg* m_chooser;
};
