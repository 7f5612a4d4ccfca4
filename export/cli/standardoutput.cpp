#include "export/cli/standardoutput.h"

#include "export/report/reportfile.h"

#include <QTemporaryDir>

namespace cli {

bool writeThroughTemporaryFile(const QString &fileName, const QString &what, QIODevice &out,
                               const std::function<bool(const QString &path)> &write,
                               const std::function<void(const QString &line)> &problem)
{
    QTemporaryDir folder;
    if (!folder.isValid()) {
        problem(QStringLiteral("cannot make a temporary folder: %1").arg(folder.errorString()));
        return false;
    }
    const QString path = folder.filePath(fileName);
    if (!write(path))
        return false;
    const QString copied = report::copyFinishedFile(path, out, what);
    if (!copied.isEmpty())
        problem(copied);
    return copied.isEmpty();
}

} // namespace cli
