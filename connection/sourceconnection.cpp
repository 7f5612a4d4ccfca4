#include "connection/sourceconnection.h"

#include "app/appsink.h"
#include "connection/folderfiles.h"
#include "app/core/checks.h"
#include "connection/core/connectionstring.h"
#include "model/dataaccess.h"
#include "app/prompts.h"

#include <algorithm>

#include <QDir>

#include <functional>

namespace connection {

using app::prompts;

namespace {

bool endsInSeparator(const QString &text)
{
    return text.endsWith(QLatin1Char('/')) || text.endsWith(QDir::separator());
}

// Both accessors share one shape: line 100 reads the mode, 102 gives the
// container-mode result, 104 the folder-mode one; after a failure the answer is "".
QString byMode(const char *routine, const ConnectionState &state,
               const std::function<QString()> &containerResult,
               const std::function<QString()> &folderResult)
{
    app::ErrorGuard guard(routine, app::errorBoxSink());
    QString answer;
    bool container = false;
    guard.step(100, [&] { container = state.containerMode(); });
    if (container)
        guard.step(102, [&] { answer = containerResult(); });
    else
        guard.step(104, [&] { answer = folderResult(); });
    return answer;
}

} // namespace

QString folderPathOf(const ConnectionState &state)
{
    return byMode(
        "Foxpro1.GetPath", state, [] { return QString(); },
        [&] {
            const QString text = state.folderText();
            return endsInSeparator(text) ? text : text + QDir::separator();
        });
}

QString containerPathOf(const ConnectionState &state)
{
    return byMode(
        "Foxpro1.GetDBName", state, [&] { return state.containerPath(); },
        [] { return QString(); });
}

QString connectionStringOf(const ConnectionState &state)
{
    return state.containerMode() ? buildConnectionString(true, state.containerPath())
                                 : buildConnectionString(false, state.folderText());
}

bool canConnect(const ConnectionState &state)
{
    bool result = false;
    try {
        if (state.containerMode()) {
            auto connection = model::factory().createConnection();
            connection->Open(connectionStringOf(state));
            const QString name = containerPathOf(state);
            const bool present = app::isFilePresent(name);
            result = !name.isEmpty() && present;
            return result;
        }
        if (folderPathOf(state).isEmpty())
            return result;
        const QString folder = state.folderText();
        if (!app::isFolderPresent(folder)) {
            prompts().message(QStringLiteral("Free Table Folder ") + folder
                              + QStringLiteral(" input is not a valid folder. Please correct."));
            return result;
        }
        // Any table but FoxPro's temporary ones (~*.dbf) will do.
        const QStringList names = connection::filesInFolder(folder, QStringLiteral("*.dbf"));
        return std::any_of(names.begin(), names.end(),
                           [](const QString &name) { return !name.startsWith(QLatin1Char('~')); });
    } catch (const std::exception &) {
        return false;
    }
}

} // namespace connection
