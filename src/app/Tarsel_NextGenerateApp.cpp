#include "app/Tarsel_NextGenerateApp.h"

#include <QFont>
#include <QGuiApplication>

#include "app/Icons.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "engine/LiveEnginePorts.h"
#include "web/LibCurl.h"

void PrepareTarselUi() {
    // Sharp on fractional scale factors: no rounding of the device pixel ratio.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    // "Arial" resolves to its metric-compatible face through fontconfig; Chinese texts fall
    // back to an installed CJK face.
    QFont::insertSubstitutions(QStringLiteral("Arial"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("WenQuanYi Micro Hei"),
                                QStringLiteral("Noto Sans CJK TC")});
}

CTarsel_NextGenerateApp::CTarsel_NextGenerateApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Tarsel_NextGenerate"));
    setWindowIcon(ResourceIcon(185));
}

bool CTarsel_NextGenerateApp::InitInstance() {
    // The live seam outlives the window and with it the engine.
    LiveEnginePorts ports;
    {
        CTarsel_NextGenerateDlg dialog(ports);
        dialog.exec();
    }
    // The window and every worker that made requests are gone.
    HttpGlobalCleanup();
    return false;
}
