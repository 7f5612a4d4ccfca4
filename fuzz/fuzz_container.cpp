// A container and its memo of any bytes: parsed or refused with a Failure,
// never a crash. The input is a 4-byte little-endian length of the .dbc
// bytes, the .dbc bytes, then the .dct bytes.

#include "platform/container.h"
#include "platform/failure.h"
#include "model/fieldtype.h"
#include "platform/memofile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    const size_t dbcSize = size_t(data[0]) | size_t(data[1]) << 8 | size_t(data[2]) << 16 | size_t(data[3]) << 24;
    if (dbcSize > size - 4)
        return 0;
    const char *bytes = reinterpret_cast<const char *>(data) + 4;
    const QByteArrayView dbc(bytes, qsizetype(dbcSize));
    const QByteArray dct(bytes + dbcSize, qsizetype(size - 4 - dbcSize));
    try {
        const platform::MemoFile memo(dct, QStringLiteral("fuzz.dct"));
        const platform::ContainerModel model = platform::parseContainer(dbc, memo, QStringLiteral("fuzz.dbc"));
        for (const platform::ContainerObject &view : model.views)
            for (const platform::ContainerField &field : view.fields)
                model::columnTypeOfDataType(field.dataType);
    } catch (const Failure &) {
    }
    return 0;
}
