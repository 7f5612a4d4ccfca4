#pragma once

#include <QFont>
#include <QPushButton>
#include <QRect>
#include <QWidget>

#include <initializer_list>
#include <utility>

namespace app {

// Window designs are measured in twips: 15 to a device-independent pixel.
constexpr int twips(int twips)
{
    return twips / 15;
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

// Arial bold, 9 pt for labels, boxes and frames; 11.25 pt for push buttons.
inline QFont boxFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    return font;
}

inline QFont buttonFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

// A push button with its caption's font, at its place in the design.
inline QPushButton *makeButton(const QString &caption, QWidget *parent, QRect geometry)
{
    auto *button = new QPushButton(caption, parent);
    button->setFont(buttonFont());
    button->setGeometry(geometry);
    return button;
}

// Widens `widget` to its text when the platform's font needs more room than
// the design gave it.
inline void fitWidth(QWidget *widget)
{
    widget->resize(qMax(widget->width(), widget->sizeHint().width()), widget->height());
}

// Gives each widget the name it has always had, by which tests and
// accessibility tools find it ("PushButton3" is "Next >").
inline void nameWidgets(std::initializer_list<std::pair<QObject *, const char *>> widgets)
{
    for (const auto &[widget, name] : widgets)
        widget->setObjectName(QLatin1String(name));
}

} // namespace app
