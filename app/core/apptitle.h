#pragma once

// The program's name and the title its plain messages carry.

#include <QString>

namespace app {

inline const QString ProductName = QStringLiteral("Orvalle");

// The title for a product name: cut at the last blank, again while longer than
// 40 characters. A name without a blank is its own title.
QString appTitleFor(const QString &productName);

// Sets the program-wide title that captions plain messages.
void setAppTitle();
const QString &appTitle();

} // namespace app
