#include "export/cli/lines.h"

#include "platform/cleantext.h"

namespace cli {

void writeFindings(QIODevice &device, const QList<model::Finding> &findings)
{
    for (const model::Finding &finding : findings)
        writeLine(device, QStringLiteral("orvalle-report: %1: %2").arg(oneLine(finding.place), oneLine(finding.message)));
}

QString oneLine(const QString &text)
{
    return platform::cleanText(text, platform::CodePageLine).trimmed();
}

bool writeLine(QIODevice &device, const QString &text)
{
    const QByteArray line = text.toLocal8Bit() + '\n';
    return device.write(line) == line.size();
}

} // namespace cli
