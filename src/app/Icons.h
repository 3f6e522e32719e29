#pragma once
// The tool's own icons and pictures, drawn as SVG and built into the program.

#include <QIcon>
#include <QString>

// The icon of a resource number: 185 application, 135 refresh, 189 IP search picture,
// 132/154 web page enabled/disabled, 140/152 initialise enabled/disabled, 134 automatic
// IP, 163 firmware upgrade, 156 language arrow. An unknown number gives a null icon.
QIcon ResourceIcon(int number);

// The icon of a name in the resource folder ("logo", "minimise", "close", ...).
QIcon NamedIcon(const QString& name);
