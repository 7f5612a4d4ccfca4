// Compound indexes of any bytes: a tag list or a Failure, never a crash.

#include "platform/failure.h"
#include "platform/indexfile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        platform::parseCompoundIndex(bytes, 0x03, QStringLiteral("fuzz.cdx"));
    } catch (const Failure &) {
    }
    return 0;
}
