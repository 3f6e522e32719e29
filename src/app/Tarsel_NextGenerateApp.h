#pragma once
// The application object: starts the process's user interface, runs the main window
// modally and ends the process when it closes.

#include <QApplication>

class CTarsel_NextGenerateApp : public QApplication {
    Q_OBJECT
public:
    CTarsel_NextGenerateApp(int& argc, char** argv);

    // Runs the main window until it closes. Returns false: no further message loop runs,
    // the process ends.
    bool InitInstance();
};

// Prepares font fallbacks and high-resolution rendering; called before the application
// object is built (and by tests that build windows on their own).
void PrepareTarselUi();
