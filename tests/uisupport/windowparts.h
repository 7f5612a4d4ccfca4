#pragma once

// Tests reach a window's widgets the way accessibility tools do: by their
// object names ("PushButton3", "Text2", …), which never change.

#include <QObject>
#include <QtGlobal>

template <class Widget> Widget *widget(QObject &window, const char *name)
{
    auto *found = window.findChild<Widget *>(QLatin1String(name));
    if (!found)
        qFatal("%s has no %s named %s", qPrintable(window.objectName()),
               Widget::staticMetaObject.className(), name);
    return found;
}
