#include "scriptedprompts.h"

#include "apptitle.h"
#include "programfolder.h"

#include <QCoreApplication>
#include <QDialog>
#include <QMouseEvent>
#include <QWidget>
#include <QSettings>

ScriptedPrompts::ScriptedPrompts()
{
    setPrompts(this);
}

ScriptedPrompts::~ScriptedPrompts()
{
    setPrompts(nullptr);
}

QStringList ScriptedPrompts::texts(const QString &kind) const
{
    QStringList result;
    for (const PromptCall &call : calls) {
        if (call.kind == kind)
            result << call.text;
    }
    return result;
}

bool ScriptedPrompts::settled() const
{
    return unexpected.isEmpty() && m_questions.isEmpty() && m_files.isEmpty() && m_folders.isEmpty()
        && m_modals.isEmpty();
}

void ScriptedPrompts::message(const QString &text)
{
    calls.append({QStringLiteral("message"), Main::AppTitle(), text});
    if (!m_messageActions.isEmpty())
        m_messageActions.takeFirst()();
}

bool ScriptedPrompts::question(const QString &text)
{
    calls.append({QStringLiteral("question"), Main::AppTitle(), text});
    if (m_questions.isEmpty()) {
        unexpected << QStringLiteral("question: ") + text;
        return false;
    }
    return m_questions.takeFirst();
}

void ScriptedPrompts::errorBox(const QString &text)
{
    calls.append({QStringLiteral("error"), QStringLiteral("Application Error"), text});
}

QString ScriptedPrompts::openFile(QWidget *, const QString &title, const QString &filter)
{
    calls.append({QStringLiteral("openFile"), title, filter});
    if (m_files.isEmpty()) {
        unexpected << QStringLiteral("openFile: ") + title;
        return QString();
    }
    return m_files.takeFirst();
}

QString ScriptedPrompts::browseFolder(QWidget *, const QString &prompt, const QString &startFolder)
{
    calls.append({QStringLiteral("browseFolder"), prompt, startFolder});
    if (m_folders.isEmpty()) {
        unexpected << QStringLiteral("browseFolder: ") + prompt;
        return QString();
    }
    return m_folders.takeFirst();
}

void ScriptedPrompts::showModal(QDialog *dialog)
{
    calls.append({QStringLiteral("modal"), dialog->windowTitle(), QString()});
    if (m_modals.isEmpty()) {
        unexpected << QStringLiteral("modal: ") + dialog->windowTitle();
        return;
    }
    m_modals.takeFirst()(dialog);
}

void moveOver(QWidget *widget)
{
    QMouseEvent event(QEvent::MouseMove, QPointF(3, 3), widget->mapToGlobal(QPointF(3, 3)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

int Sandbox::endCalls = 0;

Sandbox::Sandbox()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
    Main::SetProgramFolder(m_program.path());
    endCalls = 0;
    Main::SetProgramEndHandler([] { ++endCalls; });
}

Sandbox::~Sandbox()
{
    Main::SetProgramFolder(QString());
    Main::SetProgramEndHandler(nullptr);
}

QString Sandbox::settingsFile() const
{
    return m_settings.path() + QStringLiteral("/Tarnvista/Orvalle.conf");
}

void Sandbox::setSetting(const QString &key, const QString &value)
{
    QSettings store(settingsFile(), QSettings::IniFormat);
    store.setValue(key, value);
}

bool Sandbox::hasSetting(const QString &key) const
{
    return QSettings(settingsFile(), QSettings::IniFormat).contains(key);
}

QString Sandbox::setting(const QString &key) const
{
    return QSettings(settingsFile(), QSettings::IniFormat).value(key).toString();
}
