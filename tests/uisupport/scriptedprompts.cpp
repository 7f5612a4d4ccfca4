#include "scriptedprompts.h"

#include "app/core/apptitle.h"
#include "app/core/programfolder.h"

#include <QCoreApplication>
#include <QDialog>
#include <QMouseEvent>
#include <QWidget>
#include <QSettings>
#include <QTest>

using namespace app;


namespace {

// A text as a failure message shows it: CR and LF written out.
QString shown(QString text)
{
    return text.replace(QLatin1Char('\r'), QStringLiteral("\\r")).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
}

// The filter entries a file dialog offers, by their descriptions.
QStringList offeredFilters(const QString &barSeparatedFilter)
{
    return app::qtFileFilter(barSeparatedFilter).split(QStringLiteral(";;"), Qt::SkipEmptyParts);
}

QString describeCall(const PromptCall &call)
{
    return call.kind + QStringLiteral(" \"") + call.caption + QStringLiteral("\": \"") + shown(call.text)
        + QLatin1Char('"');
}

} // namespace

char *toString(const PromptCall &call)
{
    // The owner by address only: it may be gone by the time a comparison fails.
    const QString owner = call.owner ? QStringLiteral("0x%1").arg(quintptr(call.owner), 0, 16) : QStringLiteral("none");
    return qstrdup(qPrintable(describeCall(call) + QStringLiteral(" opening in \"") + call.startFolder
                              + QStringLiteral("\", owned by ") + owner));
}

ScriptedPrompts::ScriptedPrompts()
{
    setPrompts(this);
}

ScriptedPrompts::~ScriptedPrompts()
{
    setPrompts(nullptr);
    if (m_script.isEmpty())
        return;
    QStringList missing;
    for (const Step &step : std::as_const(m_script))
        missing << step.describe();
    QTest::qFail(qPrintable(QStringLiteral("Scripted prompts that never came:\n  ") + missing.join(QStringLiteral("\n  "))),
                 __FILE__, __LINE__);
}

void ScriptedPrompts::expectMessage(const QString &text, std::function<void()> whileShown)
{
    m_script.append({QStringLiteral("message"), text, QString(), false, std::move(whileShown), {}});
}

void ScriptedPrompts::expectQuestion(const QString &text, bool yes, std::function<void()> whileShown)
{
    m_script.append({QStringLiteral("question"), text, QString(), yes, std::move(whileShown), {}});
}

void ScriptedPrompts::expectError(const QString &routine, int label, const QString &description)
{
    // The report's text: description, CR LF, where, "at line", the label, CR CR, the request.
    const QString marker = QStringLiteral("\r\nin Orvallix2021/08/31.") + routine + QStringLiteral(" at line ")
        + QString::number(label) + QStringLiteral("\r\r");
    m_script.append({QStringLiteral("error"), description, marker, false, {}, {}});
}

void ScriptedPrompts::answerFile(const QString &path, const QString &filter)
{
    m_script.append({QStringLiteral("openFile"), path, filter, false, {}, {}});
}

void ScriptedPrompts::answerFolder(const QString &path)
{
    m_script.append({QStringLiteral("browseFolder"), path, QString(), false, {}, {}});
}

void ScriptedPrompts::whileModal(std::function<void(QDialog *)> action)
{
    m_script.append({QStringLiteral("modal"), QString(), QString(), false, {}, std::move(action)});
}

QString ScriptedPrompts::Step::describe() const
{
    if (kind == QLatin1String("error"))
        return QStringLiteral("error naming \"%1\" with \"%2\" in its description").arg(shown(marker), text);
    if (kind == QLatin1String("message") || kind == QLatin1String("question") || kind == QLatin1String("progress"))
        return kind + QStringLiteral(" \"") + text + QLatin1Char('"');
    if (kind == QLatin1String("modal"))
        return kind;
    if (kind == QLatin1String("openFile") && !marker.isEmpty())
        return kind + QStringLiteral(" answered \"") + text + QStringLiteral("\" with the filter \"") + marker
            + QLatin1Char('"');
    return kind + QStringLiteral(" answered \"") + text + QLatin1Char('"');
}

bool ScriptedPrompts::Step::matches(const PromptCall &call) const
{
    if (call.kind != kind)
        return false;
    if (kind == QLatin1String("message") || kind == QLatin1String("question") || kind == QLatin1String("progress"))
        return call.text == text;
    if (kind == QLatin1String("error")) {
        const qsizetype at = call.text.indexOf(marker);
        return at >= 0 && call.text.first(at).contains(text);
    }
    if (kind == QLatin1String("openFile") && !marker.isEmpty())
        return offeredFilters(call.text).contains(marker);
    return true;
}

std::optional<ScriptedPrompts::Step> ScriptedPrompts::take(const PromptCall &call)
{
    calls.append(call);
    if (!m_script.isEmpty()) {
        const Step &next = m_script.first();
        if (next.matches(call))
            return m_script.takeFirst();
    }
    const QString what = describeCall(call) + QStringLiteral(" when ")
        + (m_script.isEmpty() ? QStringLiteral("nothing more was scripted")
                              : QStringLiteral("the script's next is ") + m_script.first().describe());
    m_unexpected << what;
    QTest::qFail(qPrintable(QStringLiteral("Unexpected ") + what), __FILE__, __LINE__);
    return std::nullopt;
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

QString ScriptedPrompts::unsettled() const
{
    QStringList result;
    for (const QString &call : m_unexpected)
        result << QStringLiteral("unexpected ") + call;
    for (const Step &step : m_script)
        result << QStringLiteral("still to come: ") + step.describe();
    return result.join(QLatin1Char('\n'));
}

void ScriptedPrompts::message(QWidget *owner, const QString &text)
{
    const std::optional<Step> step = take({QStringLiteral("message"), app::appTitle(), text, QString(), owner});
    if (step && step->whileShown)
        step->whileShown();
}

bool ScriptedPrompts::question(QWidget *owner, const QString &text)
{
    const std::optional<Step> step = take({QStringLiteral("question"), app::appTitle(), text, QString(), owner});
    if (!step)
        return false;
    if (step->whileShown)
        step->whileShown();
    return step->yes;
}

void ScriptedPrompts::errorBox(QWidget *owner, const QString &text)
{
    take({QStringLiteral("error"), QStringLiteral("Application Error"), text, QString(), owner});
}

FileChoice ScriptedPrompts::openFile(QWidget *owner, const QString &title, const QString &filter,
                                     const QString &startFolder)
{
    const std::optional<Step> step = take({QStringLiteral("openFile"), title, filter, startFolder, owner});
    if (!step || step->text.isEmpty())
        return {};
    const QStringList offered = offeredFilters(filter);
    return {step->text, step->marker.isEmpty() && !offered.isEmpty() ? offered.constFirst() : step->marker};
}

QString ScriptedPrompts::browseFolder(QWidget *owner, const QString &prompt, const QString &startFolder)
{
    const std::optional<Step> step = take({QStringLiteral("browseFolder"), prompt, startFolder, startFolder, owner});
    return step ? step->text : QString();
}

void ScriptedPrompts::showModal(QDialog *dialog)
{
    const std::optional<Step> step =
        take({QStringLiteral("modal"), dialog->windowTitle(), QString(), QString(), dialog->parentWidget()});
    if (step && step->whileModal)
        step->whileModal(dialog);
}

namespace {

class ScriptedProgress final : public app::Progress {
public:
    ScriptedProgress(QStringList &updates, int cancelAt) : m_updates(updates), m_cancelAt(cancelAt) {}
    bool update(const QString &text, int permille) override
    {
        m_updates << QStringLiteral("%1 @ %2").arg(text).arg(permille);
        return m_cancelAt == 0 || ++m_count < m_cancelAt;
    }

private:
    QStringList &m_updates;
    int m_cancelAt;
    int m_count = 0;
};

} // namespace

void ScriptedPrompts::expectProgress(const QString &title, int cancelAt)
{
    Step step;
    step.kind = QStringLiteral("progress");
    step.text = title;
    step.cancelAt = cancelAt;
    m_script << step;
}

std::unique_ptr<app::Progress> ScriptedPrompts::progress(QWidget *owner, const QString &title)
{
    const std::optional<Step> step = take({QStringLiteral("progress"), title, title, QString(), owner});
    return std::make_unique<ScriptedProgress>(progressUpdates, step ? step->cancelAt : 0);
}

void moveOver(QWidget *widget)
{
    QMouseEvent event(QEvent::MouseMove, QPointF(3, 3), widget->mapToGlobal(QPointF(3, 3)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

void postClick(QWidget *widget, QPoint at)
{
    const QPointF global = widget->mapToGlobal(QPointF(at));
    QCoreApplication::postEvent(widget, new QMouseEvent(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton,
                                                        Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(widget, new QMouseEvent(QEvent::MouseButtonRelease, QPointF(at), global,
                                                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

int Sandbox::endCalls = 0;

Sandbox::Sandbox()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
    app::setProgramFolder(m_program.path());
    endCalls = 0;
    app::setProgramEndHandler([] { ++endCalls; });
}

Sandbox::~Sandbox()
{
    app::setProgramFolder(QString());
    app::setProgramEndHandler(nullptr);
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
