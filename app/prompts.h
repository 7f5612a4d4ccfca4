#pragma once

// Every message box and dialog of the program goes through Prompts, so tests
// can script the answers and record what the user would have seen.

#include <QString>

#include <memory>

class QDialog;
class QWidget;

namespace app {

// What the file dialog gave: the path ("" when cancelled) and the filter
// entry the user had chosen, as its description ("Text Files (*.txt)").
struct FileChoice {
    QString path;
    QString filter;
};

// A long task's dialog: a line saying what it does, a bar, and Cancel. It
// closes when the object goes.
class Progress {
public:
    virtual ~Progress() = default;
    // Shows `text` and how far the task has come (0 to 1000), and lets the
    // program's events run; false once the user chose Cancel.
    virtual bool update(const QString &text, int permille) = 0;
};

class Prompts {
public:
    virtual ~Prompts() = default;

    // `owner` is the window a box or dialog comes from: it opens centred on
    // that window and stays above it. nullptr stands for the active window.

    // Plain message: OK only, no icon, the application title as caption.
    virtual void message(QWidget *owner, const QString &text) = 0;
    // The one question: Yes and No, otherwise like a plain message. True on Yes.
    virtual bool question(QWidget *owner, const QString &text) = 0;
    // The error report box: "Application Error", warning icon, OK.
    virtual void errorBox(QWidget *owner, const QString &text) = 0;
    // Open-file dialog opening in `startFolder` (Qt's default folder when
    // empty), the first of the filters chosen; `filter` in the
    // "Description|pattern|…" form.
    virtual FileChoice openFile(QWidget *owner, const QString &title, const QString &filter,
                                const QString &startFolder) = 0;
    // Folder dialog opening on `startFolder`. "" on cancel.
    virtual QString browseFolder(QWidget *owner, const QString &prompt, const QString &startFolder) = 0;
    // Shows `dialog` modally and returns when it has closed.
    virtual void showModal(QDialog *dialog) = 0;
    // The progress dialog of a long task titled `title`, modal to `owner`'s window.
    virtual std::unique_ptr<Progress> progress(QWidget *owner, const QString &title) = 0;

    // The same boxes over the active window, for callers that have none of their own.
    void message(const QString &text) { message(nullptr, text); }
    bool question(const QString &text) { return question(nullptr, text); }
    void errorBox(const QString &text) { errorBox(nullptr, text); }
};

// The prompts in use: the Qt implementation unless a test installed its own.
Prompts &prompts();
// Installs `replacement` (not owned); nullptr restores the Qt implementation.
void setPrompts(Prompts *replacement);

// "Text Files (*.txt)|*.txt" → "Text Files (*.txt)": the descriptions of each
// description|pattern pair, joined the way QFileDialog lists filters.
QString qtFileFilter(const QString &barSeparatedFilter);

} // namespace app
