#pragma once
// The about box of the window's menu, in the window's language.

#include <QDialog>

class CustButton;
class CustStatic;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    CustButton* OkButton() const { return m_ok; }
    void reject() override { accept(); }  // Escape closes it, as OK does

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    CustStatic* m_name;
    CustStatic* m_copyright;
    CustButton* m_ok;
};
