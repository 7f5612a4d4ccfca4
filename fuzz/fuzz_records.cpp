// Records of any bytes: every value read, or a problem reported, or the
// table refused with a Failure; never a crash, never a read outside the file.
// The input is a 4-byte little-endian length n (its top bit set for a dBase
// .dbt memo file, clear for a FoxPro .fpt), n bytes of table, then the memo
// file's bytes.

#include "platform/failure.h"
#include "platform/recordreader.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool writeFile(const QString &path, QByteArrayView bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes.data(), bytes.size()) == bytes.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    if (size < 4 || !dir.isValid())
        return 0;
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    const quint32 prefix = qFromLittleEndian<quint32>(input.data());
    const bool dbt = prefix & 0x8000'0000u;
    const qsizetype tableSize = qMin<qsizetype>(prefix & 0x7FFF'FFFFu, input.size() - 4);
    const QString table = dir.filePath(QStringLiteral("t.dbf"));
    const QString memo = dir.filePath(dbt ? QStringLiteral("t.dbt") : QStringLiteral("t.fpt"));
    QFile::remove(dir.filePath(QStringLiteral("t.dbt")));
    QFile::remove(dir.filePath(QStringLiteral("t.fpt")));
    if (!writeFile(table, input.sliced(4, tableSize)) || !writeFile(memo, input.sliced(4 + tableSize)))
        std::abort();
    try {
        qint64 problems = 0;
        platform::RecordReader reader(platform::LocalPath::fromText(table), platform::LocalPath::fromText(memo),
                                      [&](const platform::RecordProblem &) { ++problems; });
        QList<platform::FieldValue> values;
        while (reader.next(values)) {
            if (values.size() != reader.fields().size())
                std::abort();
        }
    } catch (const Failure &) {
    }
    return 0;
}
