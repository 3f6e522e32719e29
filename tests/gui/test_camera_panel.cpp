// The camera panel driven as a user would, with a recording owner: which fields can be
// edited for which camera and mode, input limits, Tab order, what Verify and Save hand to
// the owner, and the initialise chooser's commands.

#include <QTest>
#include <QToolButton>

#include "GuiTestSupport.h"
#include "app/AuthDlg.h"
#include "app/CombineDlg.h"
#include "app/DefaultDlg.h"
#include "app/DhcpDlg.h"
#include "app/InfoDlg.h"
#include "app/UnauthDlg.h"
#include "common/stdafx.h"
#include "controls/CustControls.h"

namespace {
using Owner = QStringList;  // the calls the panel made, in order

CameraRecord Camera(const char* mode) {
    CameraRecord record{};
    CopyTruncated(record.name, "Lobby");
    CopyTruncated(record.mac, "00:11:22:33:44:55");
    CopyTruncated(record.ip, "192.168.1.20");
    CopyTruncated(record.mask, "255.255.255.0");
    CopyTruncated(record.gateway, "192.168.1.1");
    CopyTruncated(record.httpPort, "80");
    CopyTruncated(record.mode, mode);
    CopyTruncated(record.user, "admin");
    return record;
}

void ClickItem(CItemChooser* chooser, int item) {
    QTest::mouseClick(chooser, Qt::LeftButton, {}, chooser->ItemRect(item).center());
}
}  // namespace

class CameraPanelTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void init() { guitest::UseLanguage(LANGUAGE_ENGLISH); }

    void fieldsFollowVerificationAndMode() {
        QWidget host;
        host.resize(820, 420);
        CCombineDlg panel(&host, &host);
        panel.setGeometry(0, 0, 810, 310);
        host.show();
        host.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&host));
        CInfoDlg* info = panel.Info();

        panel.ShowCamera(Camera("manual"), false);
        QVERIFY(panel.Login()->isVisible() && !panel.Auth()->isVisible());
        for (QWidget* field : {(QWidget*)info->NameEdit(), (QWidget*)info->IpEdit(), (QWidget*)info->PortEdit(),
                               (QWidget*)info->ModeArrow()})
            QVERIFY(!field->isEnabled());
        QCOMPARE(info->ModeEdit()->text(), QStringLiteral("manual"));

        panel.ShowCamera(Camera("dhcp"), true);
        QVERIFY(panel.Auth()->isVisible() && !panel.Login()->isVisible());
        QCOMPARE(panel.Auth()->UserEdit()->text(), QStringLiteral("admin"));
        QCOMPARE(panel.Auth()->PasswordEdit()->echoMode(), QLineEdit::Password);
        QVERIFY(panel.Auth()->SaveButton()->isEnabled() && panel.Auth()->CancelButton()->isEnabled());
        QVERIFY(info->NameEdit()->isEnabled() && !info->IpEdit()->isEnabled() && !info->MacEdit()->isEnabled());
        // Tab from the name of a DHCP camera goes straight to the port.
        info->NameEdit()->setFocus();
        QTest::keyClick(info->NameEdit(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), info->PortEdit());

        // Manual from the chooser opens the address fields.
        QTest::mouseClick(info->ModeArrow(), Qt::LeftButton);
        QVERIFY(info->ModeChooser()->isVisible());
        ClickItem(info->ModeChooser(), 1);
        QVERIFY(!info->ModeChooser()->isVisible());
        QCOMPARE(info->ModeEdit()->text(), QStringLiteral("manual"));
        QVERIFY(info->IpEdit()->isEnabled() && info->MaskEdit()->isEnabled() && info->GatewayEdit()->isEnabled());
        info->SetMode("PPPoE");
        QCOMPARE(info->ModeEdit()->text(), QStringLiteral("pppoe"));
        QVERIFY(!info->IpEdit()->isEnabled());
        info->SetMode("Static");
        QCOMPARE(info->ModeEdit()->text(), QString());

        // Input limits: 32 characters of name, five digits of port.
        info->NameEdit()->clear();
        QTest::keyClicks(info->NameEdit(), QString(33, QLatin1Char('n')));
        QCOMPARE(info->NameEdit()->text().size(), 32);
        info->PortEdit()->clear();
        QTest::keyClicks(info->PortEdit(), QStringLiteral("8a0b8080"));
        QCOMPARE(info->PortEdit()->text(), QStringLiteral("80808"));
        QCOMPARE(info->Request().port, std::string("80808"));

        // Enter and Escape close nothing; Reset empties everything and locks it.
        QTest::keyClick(info->NameEdit(), Qt::Key_Escape);
        QVERIFY(panel.isVisible());
        panel.ResetPanel();
        QVERIFY(panel.Auth()->isVisible() && !panel.Auth()->SaveButton()->isEnabled());
        QVERIFY(info->Mac().empty() && !info->NameEdit()->isEnabled());
    }

    void requestsReachTheOwner() {
        Owner owner;
        QWidget host;
        host.resize(820, 420);
        CCombineDlg panel(&host, &host);
        panel.m_context = &owner;
        panel.onVerify = [](void* c, const char* mac, const char* user, const char* password) {
            *static_cast<Owner*>(c) << QStringLiteral("verify %1 %2 %3").arg(mac, user, password);
        };
        panel.onCancelVerify = [](void* c) { *static_cast<Owner*>(c) << QStringLiteral("cancel verify"); };
        panel.onSave = [](void* c) { *static_cast<Owner*>(c) << QStringLiteral("save"); };
        panel.onCancel = [](void* c) { *static_cast<Owner*>(c) << QStringLiteral("reload"); };
        host.show();

        // Nothing shown: Verify asks nothing.
        QTest::mouseClick(panel.Login()->VerifyButton(), Qt::LeftButton);
        panel.ShowCamera(Camera("dhcp"), false);
        QTest::keyClicks(panel.Login()->UserEdit(), QString(45, QLatin1Char('u')));
        QTest::keyClicks(panel.Login()->PasswordEdit(), QStringLiteral("pw"));
        QTest::mouseClick(panel.Login()->VerifyButton(), Qt::LeftButton);
        QTest::mouseClick(panel.Login()->CancelButton(), Qt::LeftButton);
        QVERIFY(panel.Login()->UserEdit()->text().isEmpty());
        panel.ShowCamera(Camera("dhcp"), true);
        QTest::mouseClick(panel.Auth()->SaveButton(), Qt::LeftButton);
        QTest::mouseClick(panel.Auth()->CancelButton(), Qt::LeftButton);
        QCOMPARE(owner, QStringList({QStringLiteral("verify 00:11:22:33:44:55 %1 pw").arg(QString(40, QLatin1Char('u'))),
                                           QStringLiteral("cancel verify"), QStringLiteral("save"),
                                           QStringLiteral("reload")}));

        // The initialise chooser hands over its command and stays open.
        CDefaultDlg chooser(&host);
        chooser.m_context = &owner;
        chooser.onCommand = [](void* c, const char* command) { *static_cast<Owner*>(c) << command; };
        chooser.Toggle(QRect(300, 10, 40, 36));
        for (int item = 0; item < 3; ++item) ClickItem(&chooser, item);
        QCOMPARE(owner.mid(4), QStringList({"REBOOT", "SW_DEFAULT", "HW_DEFAULT"}));
        QVERIFY(chooser.isVisible());
    }
};

QTEST_MAIN(CameraPanelTest)
#include "test_camera_panel.moc"
