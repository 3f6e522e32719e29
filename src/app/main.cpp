#include "app/Tarsel_NextGenerateApp.h"

int main(int argc, char** argv) {
    PrepareTarselUi();
    CTarsel_NextGenerateApp app(argc, argv);
    app.InitInstance();
    return 0;
}
