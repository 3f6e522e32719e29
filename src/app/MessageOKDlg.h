#pragma once
// The three-line result box with an OK button, and the modal OK/Cancel question. Both read
// as alerts to a screen reader, which speaks their lines when they appear. Escape answers
// the question with Cancel and closes the result box once its OK is enabled.

#include <QDialog>
#include <QPointer>
#include <QStringList>

#include "app/MessagePanel.h"

class CustButton;
class CustStatic;

class CMessageOKDlg : public CMessagePanel {
    Q_OBJECT
public:
    explicit CMessageOKDlg(QWidget* parent = nullptr);

    // Enables OK by okEnabled; with three texts given, puts them into the lines.
    void ShowResult(int okEnabled, const QStringList* texts);
    void ReloadTexts();

    CustButton* OkButton() const { return m_ok; }

protected:
    QWidget* FirstFocus() override;
    void OnEscape() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CustButton* m_ok;
};

class MessageOKCancelDlg : public QDialog {
    Q_OBJECT
public:
    MessageOKCancelDlg(QWidget* owner, int line1Id, int line2Id, int line3Id);

    CustStatic* Line(int index) const { return m_lines[index]; }
    CustButton* OkButton() const { return m_ok; }
    CustButton* CancelButton() const { return m_cancel; }

    void reject() override;  // Escape answers Cancel

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    CustStatic* m_lines[3];
    CustButton* m_ok;
    CustButton* m_cancel;
    // The window the question is centred on when it shows (none: where it was put).
    QPointer<QWidget> m_centreOn;
    friend int AskOkCancel(QWidget*, int, int, int);
};

// Asks the question modally, centred on the owner, with the owner disabled meanwhile.
// Returns 1 for OK, 2 for Cancel.
int AskOkCancel(QWidget* owner, int line1Id, int line2Id, int line3Id);

// Called with the question's dialog once it is shown (tests answer it through this).
void SetAskOkCancelObserver(void (*observer)(MessageOKCancelDlg* dialog));
