#pragma once
// Helpers shared by the window tests: the language of the test thread, a private settings
// file, screenshots, and polling with a deadline instead of fixed sleeps.

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <functional>

#include "app/Tarsel_NextGenerateApp.h"
#include "common/Config.h"
#include "common/Language.h"

namespace guitest {

// Puts the process and the test thread into a language, as the main window's language
// switch does.
inline void UseLanguage(int index) {
    currentLanguage.store(index);
    SetThreadLanguage(index);
}

// The suffix of a screenshot's file name for a language.
inline QString LanguageTag(int index) {
    switch (index) {
        case LANGUAGE_CHINESE_TRADITIONAL: return QStringLiteral("zh_TW");
        case LANGUAGE_POLISH: return QStringLiteral("pl");
        default: return QStringLiteral("en");
    }
}

inline const int kScreenshotLanguages[] = {LANGUAGE_ENGLISH, LANGUAGE_POLISH, LANGUAGE_CHINESE_TRADITIONAL};

// Saves what the widget shows as build/screenshots/<name>.png; returns the image.
inline QImage SaveScreenshot(QWidget* widget, const QString& name) {
    const QImage image = widget->grab().toImage();
    QString dir = qEnvironmentVariable("TARSEL_SCREENSHOT_DIR");
    if (dir.isEmpty()) dir = QStringLiteral(TARSEL_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    image.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
    return image;
}

// Processes events until `done` holds or `timeoutMs` passed; returns whether it held.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QTest::qWait(5);
    }
    return true;
}

// Counts the pixels of `image` inside `area` whose colour is within `tolerance` of `colour`.
inline int CountColour(const QImage& image, const QRect& area, const QColor& colour, int tolerance = 40) {
    int count = 0;
    const QRect clipped = area.intersected(image.rect());
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (qAbs(pixel.red() - colour.red()) <= tolerance &&
                qAbs(pixel.green() - colour.green()) <= tolerance &&
                qAbs(pixel.blue() - colour.blue()) <= tolerance)
                ++count;
        }
    }
    return count;
}

// A settings file of the test's own, used for every read and write while it lives.
class PrivateConfig {
public:
    explicit PrivateConfig(const QByteArray& contents) {
        m_path = m_dir.filePath(QStringLiteral("tarsel.ini"));
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly)) file.write(contents);
        file.close();
        SetConfigPath(m_path.toUtf8().constData());
    }
    ~PrivateConfig() { SetConfigPath(nullptr); }
    std::string Path() const { return m_path.toStdString(); }
    QByteArray Contents() const {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

}  // namespace guitest
