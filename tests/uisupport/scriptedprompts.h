#pragma once

// Test doubles for the windows: prompts that record every call and answer
// from a queue, and a sandbox for settings, the program folder and the end of
// the program.

#include "prompts.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <functional>

class QDialog;

struct PromptCall {
    QString kind; // "message", "question", "error", "openFile", "browseFolder", "modal"
    QString caption;
    QString text;
    bool operator==(const PromptCall &other) const = default;
};

class ScriptedPrompts final : public Prompts {
public:
    ScriptedPrompts();
    ~ScriptedPrompts() override;

    void answerQuestion(bool yes) { m_questions << yes; }
    void answerFile(const QString &path) { m_files << path; }
    void answerFolder(const QString &path) { m_folders << path; }
    // Runs while the dialog is shown modally, e.g. to press its buttons.
    void whileModal(std::function<void(QDialog *)> action) { m_modals << std::move(action); }
    // Runs while a plain message is shown (e.g. to look at the pointer then).
    void whileMessage(std::function<void()> action) { m_messageActions << std::move(action); }

    QList<PromptCall> calls;
    QStringList unexpected; // calls nobody scripted an answer for, and answers left over

    QStringList texts(const QString &kind) const;
    // Everything scripted was used and nothing unscripted was asked.
    bool settled() const;

    void message(const QString &text) override;
    bool question(const QString &text) override;
    void errorBox(const QString &text) override;
    QString openFile(QWidget *owner, const QString &title, const QString &filter) override;
    QString browseFolder(QWidget *owner, const QString &prompt, const QString &startFolder) override;
    void showModal(QDialog *dialog) override;

private:
    QList<bool> m_questions;
    QStringList m_files;
    QStringList m_folders;
    QList<std::function<void(QDialog *)>> m_modals;
    QList<std::function<void()>> m_messageActions;
};

// Sends `widget` a pointer move with no button held, as the mouse would.
void moveOver(QWidget *widget);

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
