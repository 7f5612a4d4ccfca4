// Table headers of any bytes: parsed or refused with a Failure, never a crash.

#include "platform/codepage.h"
#include "platform/failure.h"
#include "model/fieldtype.h"
#include "platform/tableheader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const platform::TableHeader header = platform::parseTableHeader(bytes, qint64(size), QStringLiteral("fuzz.dbf"));
        for (const platform::FieldDescriptor &field : header.fields) {
            model::columnTypeOf(field, header.isVisualFoxPro());
        }
        platform::decodeText(header.backlink, header.codePage);
    } catch (const Failure &) {
    }
    return 0;
}
