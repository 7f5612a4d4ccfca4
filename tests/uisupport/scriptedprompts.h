#pragma once

// Test doubles for the windows: prompts that follow a script, record every
// call and fail the test on any call it did not expect, and a sandbox for
// settings, the program folder and the end of the program.

#include "app/prompts.h"

#include <QList>
#include <QPoint>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <optional>

class QDialog;
class QWidget;

struct PromptCall {
    QString kind; // "message", "question", "error", "openFile", "browseFolder", "modal", "progress"
    QString caption;
    QString text;         // the box's text; the file dialog's filter; the folder browser's start folder
    QString startFolder;  // where a file or folder dialog opens
    const QWidget *owner = nullptr; // the window the caller named (nullptr: the active one)
    bool operator==(const PromptCall &other) const = default;
};

// How QCOMPARE shows a call.
char *toString(const PromptCall &call);

// Prompts that follow a script. A test declares, in order, every box and
// dialog the program is to show; each call must be the next one scripted.
// Any other call fails the running test at once (and gets a "no" or a
// cancel), and a scripted call that never came fails it when the prompts go.
class ScriptedPrompts final : public app::Prompts {
public:
    ScriptedPrompts();
    ~ScriptedPrompts() override;
    ScriptedPrompts(const ScriptedPrompts &) = delete;
    ScriptedPrompts &operator=(const ScriptedPrompts &) = delete;

    // A plain message with exactly this text; `whileShown` runs while it is
    // shown (e.g. to look at the pointer then).
    void expectMessage(const QString &text, std::function<void()> whileShown = {});
    // The question with exactly this text, answered Yes or No after
    // `whileShown` has run.
    void expectQuestion(const QString &text, bool yes, std::function<void()> whileShown = {});
    // An error report from `routine` (e.g. "Form2.generateStructure") at line
    // `label` whose description holds `description`.
    void expectError(const QString &routine, int label, const QString &description = QString());
    // The open-file dialog, answered with `path` ("" cancels) and the filter
    // entry `filter` (its description; empty: the first, which the dialog
    // offers chosen). A filter the dialog does not offer fails the test.
    void answerFile(const QString &path, const QString &filter = QString());
    // The folder browser, answered with `path` ("" cancels).
    void answerFolder(const QString &path);
    // A modal window, `action` running while it is shown (e.g. to press its buttons).
    void whileModal(std::function<void(QDialog *)> action);
    // A progress dialog titled `title`, whose Cancel is chosen at its
    // `cancelAt`-th update (from 1; 0: never). Each update's text and
    // value go to `progressUpdates` ("text @ permille").
    void expectProgress(const QString &title, int cancelAt = 0);
    QStringList progressUpdates;

    // Every call, in order, scripted or not.
    QList<PromptCall> calls;
    QStringList texts(const QString &kind) const;
    // What has not gone as scripted so far, one line each: the calls nobody
    // scripted and the scripted ones still to come. Empty when the dialogue
    // is complete, so QCOMPARE(prompts.unsettled(), QString()) shows the rest.
    QString unsettled() const;

    using app::Prompts::errorBox;
    using app::Prompts::message;
    using app::Prompts::question;
    void message(QWidget *owner, const QString &text) override;
    bool question(QWidget *owner, const QString &text) override;
    void errorBox(QWidget *owner, const QString &text) override;
    app::FileChoice openFile(QWidget *owner, const QString &title, const QString &filter,
                             const QString &startFolder) override;
    QString browseFolder(QWidget *owner, const QString &prompt, const QString &startFolder) override;
    void showModal(QDialog *dialog) override;
    std::unique_ptr<app::Progress> progress(QWidget *owner, const QString &title) override;

private:
    struct Step {
        QString kind;
        QString text;   // message or question text; error: text its description holds; file or folder answer
        QString marker; // error: the location and line the report must name; file: the filter chosen
        bool yes = false;
        std::function<void()> whileShown;
        std::function<void(QDialog *)> whileModal;
        int cancelAt = 0;
        bool matches(const PromptCall &call) const;
        QString describe() const;
    };

    // The next step when `call` is it; otherwise the call is recorded as unexpected.
    std::optional<Step> take(const PromptCall &call);

    QList<Step> m_script;
    QStringList m_unexpected;
};

// Sends `widget` a pointer move with no button held, as the mouse would.
void moveOver(QWidget *widget);
// Queues a left click at `at` in `widget`: it happens when pending events next run.
void postClick(QWidget *widget, QPoint at = QPoint(3, 3));

// Settings in a temporary folder, the program folder in another, and the end
// of the program counted instead of done.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();

    QString settingsFile() const;
    void setSetting(const QString &key, const QString &value);
    bool hasSetting(const QString &key) const;
    QString setting(const QString &key) const;

    QString programFolder() const { return m_program.path(); }
    QString dataFolder() const { return m_data.path(); }

    static int endCalls;

private:
    QTemporaryDir m_settings;
    QTemporaryDir m_program;
    QTemporaryDir m_data;
};
