#pragma once

// Window designs measured in twips, turned into the pixels Qt lays out in.

#include <QFont>
#include <QFontMetrics>
#include <QLabel>
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

// Pixels kept clear between a label's caption and the box it names.
constexpr int LabelGap = 4;

// Moves the left edge of `box` (the label's sibling) right, keeping its right
// edge, until the caption of `label` ends LabelGap pixels before it: fonts
// wider than the design's would otherwise run the colon into the box.
inline void keepClearOfCaption(const QLabel *label, QWidget *box)
{
    const int clear = label->x() + QFontMetrics(label->font()).horizontalAdvance(label->text()) + LabelGap;
    if (box->x() >= clear)
        return;
    const QRect place = box->geometry();
    box->setGeometry(QRect(QPoint(clear, place.top()), place.bottomRight()));
}

// Gives each widget the name it has always had, by which tests and
// accessibility tools find it ("PushButton3" is "Next >").
inline void nameWidgets(std::initializer_list<std::pair<QObject *, const char *>> widgets)
{
    for (const auto &[widget, name] : widgets)
        widget->setObjectName(QLatin1String(name));
}

} // namespace app
