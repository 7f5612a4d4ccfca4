#pragma once

// The shared look of the windows: the skin, the button-face colour, the
// program's icon and the pointer codes with their hand over push buttons.

#include <QCursor>
#include <QObject>
#include <QString>

class QWidget;

namespace app {

// Pointer codes a window keeps.
inline constexpr int PointerDefault = 0;
inline constexpr int PointerHourglass = 11;
inline constexpr int PointerCustom = 99;

// Recolours `window` and its labels, frames, check boxes and option buttons
// with the button-face colour.
void applyColours(QWidget *window);

// Dresses the start window: without "x/o.cjs" beside the program nothing
// happens; otherwise the colours, then the style sheet. Throws when the skin
// file cannot be read or is empty (the rest of the skin is then skipped).
void applySkin(QWidget *startWindow);

// The program's icon, for every window.
void applyIcon(QWidget *window);

// A window's pointer code and custom pointer image; the window shows the
// cursor the code stands for.
class WindowPointer : public QObject {
    Q_OBJECT
public:
    explicit WindowPointer(QWidget *window);

    int code() const { return m_code; }
    void setCode(int code);

    // Loads the hand pointer image from `path` (throws when it cannot be read).
    void loadCustomImage(const QString &path);
    bool hasCustomImage() const { return m_hasCustom; }

    // Moves over `button` turn the pointer into the hand; moves over `element`
    // (the window, its frame, its boxes and lists) into the ordinary pointer.
    // Neither changes anything while the hourglass shows.
    void addButton(QWidget *button);
    void addBackground(QWidget *element);
    // Moves over `widget` change nothing (labels have no pointer handler).
    void addInert(QWidget *widget);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void track(QWidget *widget, int target);
    QCursor cursorFor(int code) const;

    QWidget *m_window;
    int m_code = PointerDefault;
    bool m_hasCustom = false;
    QCursor m_custom;
};

} // namespace app
