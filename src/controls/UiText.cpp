#include "controls/UiText.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

#include "common/CameraText.h"
#include "common/Language.h"
#include "finder/LibIP.h"

QString UiText(int id) { return QString::fromUtf8(LoadText(id)); }

QString UiCameraText(const char* text) {
    return QString::fromStdString(WithoutBidiControls(text != nullptr ? text : ""));
}

QString UiCaption(int id) { return QString::fromUtf8(LoadText(CaptionTextId(id))); }

bool UiTextPasses(int kind, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    switch (kind) {
        case 1: return IsValidIpText(bytes.constData());
        case 2: return IsValidMaskText(bytes.constData());
        case 3: return IsValidPortText(bytes.constData());
        default: return true;
    }
}

void UiCheckLanguage() { CheckLanguage(); }

bool UiAddressValue(const QString& text, quint64* value) {
    const QByteArray bytes = text.toUtf8();
    const uint64_t number = IpTextToValue(bytes.constData());
    if (number == INVALID_IP_VALUE) return false;
    if (value != nullptr) *value = number;
    return true;
}

void UiUseQtTranslations(int language) {
    static std::unique_ptr<QTranslator> installed;
    if (installed != nullptr) QCoreApplication::removeTranslator(installed.get());
    installed.reset();
    const char* file = language == LANGUAGE_POLISH                ? "qtbase_pl"
                       : language == LANGUAGE_CHINESE_TRADITIONAL ? "qtbase_zh_TW"
                                                                  : nullptr;
    if (file == nullptr) return;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QString::fromLatin1(file), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return;
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
}
