#pragma once
// The information panel of an ONVIF device of another maker, in the camera information
// panel's place: first the one line that says why nothing here can be changed, then every
// fact known of the device, one per row (its maker, model, firmware, serial number and MAC
// once verified; its address and every service address it announced; the name, hardware
// and location of its scopes; its clock's offset from this PC's). The facts are a table
// the keyboard reaches and a screen reader reads row by row; the table's description is the
// read-only reason.
//
// Window's thread only.

#include <QWidget>
#include <string>

#include "engine/CameraTable.h"

class CustStatic;
class QTableWidget;

// The host and port of an ONVIF device's web page: those of the service address chosen for
// it, else its own address on port 80.
void OnvifPageAddress(const OnvifEntry& onvif, std::string* host, std::string* port);

class COnvifInfoDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 400;
    static constexpr int kHeight = 305;

    explicit COnvifInfoDlg(QWidget* parent = nullptr);

    void Fill(const CameraEntry& entry);
    void Clear();
    void ReloadTexts();

    CustStatic* Reason() const { return m_reason; }
    QTableWidget* Facts() const { return m_facts; }
    // The caption and value of each row, as shown.
    QString FactText(int row, int column) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void AddFact(int captionId, const std::string& value);

    CustStatic* m_reason;
    QTableWidget* m_facts;
    CameraEntry m_entry;  // the facts shown, for a language change
};
