#include "export/cli/lines.h"

#include "platform/cleantext.h"

namespace cli {

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
