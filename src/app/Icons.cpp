#include "app/Icons.h"

#include <QFile>

static void EnsureIconResources() {
    // The icons live in a static library; its resources must be registered explicitly.
    static const bool registered = [] {
        Q_INIT_RESOURCE(tarsel);
        return true;
    }();
    Q_UNUSED(registered);
}

QIcon NamedIcon(const QString& name) {
    EnsureIconResources();
    const QString path = QStringLiteral(":/icons/%1.svg").arg(name);
    if (!QFile::exists(path)) return {};
    return QIcon(path);
}

QIcon ResourceIcon(int number) {
    switch (number) {
        case 185: return NamedIcon(QStringLiteral("app"));
        case 135: return NamedIcon(QStringLiteral("refresh"));
        case 189: return NamedIcon(QStringLiteral("ip_search"));
        case 132: return NamedIcon(QStringLiteral("view"));
        case 154: return NamedIcon(QStringLiteral("view_disabled"));
        case 140: return NamedIcon(QStringLiteral("initialize"));
        case 152: return NamedIcon(QStringLiteral("initialize_disabled"));
        case 134: return NamedIcon(QStringLiteral("auto_ip"));
        case 163: return NamedIcon(QStringLiteral("fw_upgrade"));
        case 156: return NamedIcon(QStringLiteral("arrow"));
        default: return {};
    }
}
