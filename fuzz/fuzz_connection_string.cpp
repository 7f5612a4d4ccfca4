// Connection strings (and view data types) of any text: never a crash.

#include "model/datasourcestring.h"
#include "model/fieldtype.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString source = model::dataSourceOf(text);
    if (source.size() > text.size())
        __builtin_trap();
    model::columnTypeOfDataType(text);
    return 0;
}
