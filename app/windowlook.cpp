#include "app/windowlook.h"

#include "platform/failure.h"
#include "app/core/programfolder.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QRadioButton>
#include <QWidget>
#include <QtEndian>

namespace app {

namespace {

const char *targetProperty = "orvallePointerTarget";
constexpr int Inert = -1;

void paintButtonFace(QWidget *widget, const QColor &face)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, face);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// The hotspot of a .cur file lives in the first directory entry, where an icon
// keeps its planes and bit count.
QPoint curHotspot(const QByteArray &bytes)
{
    if (bytes.size() < 6 + 16 || qFromLittleEndian<quint16>(bytes.constData() + 2) != 2)
        return QPoint(-1, -1);
    return QPoint(qFromLittleEndian<quint16>(bytes.constData() + 10),
                  qFromLittleEndian<quint16>(bytes.constData() + 12));
}

} // namespace

void applyColours(QWidget *window)
{
    const QColor face = window->palette().color(QPalette::Button);
    paintButtonFace(window, face);
    const auto children = window->findChildren<QWidget *>();
    for (QWidget *child : children) {
        if (qobject_cast<QLabel *>(child) || qobject_cast<QGroupBox *>(child)
            || qobject_cast<QCheckBox *>(child) || qobject_cast<QRadioButton *>(child))
            paintButtonFace(child, face);
    }
}

void applySkin(QWidget *startWindow)
{
    const QString path = besideProgram(QStringLiteral("x/o.cjs"));
    const QFileInfo info(path);
    if (!info.isFile() || info.isHidden())
        return;
    applyColours(startWindow);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("The skin file '%1' cannot be read: %2")
                          .arg(path, file.errorString()));
    const QString sheet = QString::fromUtf8(file.readAll());
    if (sheet.trimmed().isEmpty())
        throw Failure(QStringLiteral("The skin file '%1' is empty.").arg(path));
    startWindow->setStyleSheet(sheet);
}

void applyIcon(QWidget *window)
{
    // Every size the program carries, so the desktop picks the sharpest.
    static const QIcon icon = [] {
        QIcon sizes;
        const QDir folder(QStringLiteral(":/icons"));
        for (const QString &name : folder.entryList({QStringLiteral("*.png")}, QDir::Files))
            sizes.addFile(folder.filePath(name));
        return sizes;
    }();
    window->setWindowIcon(icon);
}

WindowPointer::WindowPointer(QWidget *window) : QObject(window), m_window(window)
{
    addBackground(window);
}

void WindowPointer::setCode(int code)
{
    m_code = code;
    m_window->setCursor(cursorFor(code));
}

QCursor WindowPointer::cursorFor(int code) const
{
    switch (code) {
    case PointerHourglass:
        return QCursor(Qt::WaitCursor);
    case PointerCustom:
        return m_hasCustom ? m_custom : QCursor(Qt::PointingHandCursor);
    default:
        return QCursor(Qt::ArrowCursor);
    }
}

void WindowPointer::loadCustomImage(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("The pointer file '%1' cannot be read: %2")
                          .arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    QPixmap image;
    if (!image.loadFromData(bytes, "ICO") && !image.loadFromData(bytes))
        throw Failure(QStringLiteral("The pointer file '%1' is not a picture.").arg(path));
    const QPoint hotspot = curHotspot(bytes);
    m_custom = QCursor(image, hotspot.x(), hotspot.y());
    m_hasCustom = true;
    if (m_code == PointerCustom)
        setCode(m_code);
}

void WindowPointer::addButton(QWidget *button)
{
    track(button, PointerCustom);
}

void WindowPointer::addBackground(QWidget *element)
{
    track(element, PointerDefault);
}

void WindowPointer::addInert(QWidget *widget)
{
    track(widget, Inert);
}

void WindowPointer::track(QWidget *widget, int target)
{
    widget->setMouseTracking(true);
    widget->setProperty(targetProperty, target);
    widget->installEventFilter(this);
}

bool WindowPointer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove) {
        const int target = watched->property(targetProperty).toInt();
        if (target != Inert && m_code != PointerHourglass)
            setCode(target);
        // A push button ignores moves while it is not pressed, and a label always
        // does; keep those moves from reaching the frame or window behind them.
        const bool released = static_cast<QMouseEvent *>(event)->buttons() == Qt::NoButton;
        return target == Inert || (target == PointerCustom && released);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace app
