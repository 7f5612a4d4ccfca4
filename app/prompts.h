#pragma once

// Every message box and dialog of the program goes through Prompts, so tests
// can script the answers and record what the user would have seen.

#include <QString>

class QDialog;
class QWidget;

namespace app {

class Prompts {
public:
    virtual ~Prompts() = default;

    // Plain message: OK only, no icon, the application title as caption.
    virtual void message(const QString &text) = 0;
    // The one question: Yes and No, otherwise like a plain message. True on Yes.
    virtual bool question(const QString &text) = 0;
    // The error report box: "Application Error", warning icon, OK.
    virtual void errorBox(const QString &text) = 0;
    // Open-file dialog; `filter` in the "Description|pattern|…" form. "" on cancel.
    virtual QString openFile(QWidget *owner, const QString &title, const QString &filter) = 0;
    // Folder dialog opening on `startFolder`. "" on cancel.
    virtual QString browseFolder(QWidget *owner, const QString &prompt, const QString &startFolder) = 0;
    // Shows `dialog` modally and returns when it has closed.
    virtual void showModal(QDialog *dialog) = 0;
};

// The prompts in use: the Qt implementation unless a test installed its own.
Prompts &prompts();
// Installs `replacement` (not owned); nullptr restores the Qt implementation.
void setPrompts(Prompts *replacement);

// "Text Files (*.txt)|*.txt" → "Text Files (*.txt)": the descriptions of each
// description|pattern pair, joined the way QFileDialog lists filters.
QString qtFileFilter(const QString &barSeparatedFilter);

} // namespace app
