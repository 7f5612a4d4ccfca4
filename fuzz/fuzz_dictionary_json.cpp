// JSON dictionaries of any bytes: a model or a one-line Failure, never a
// crash; and a model once read is written and read back as it was.

#include "export/dictionary/dictionary.h"
#include "export/dictionary/dictionaryload.h"
#include "platform/failure.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray document(reinterpret_cast<const char *>(data), qsizetype(size));
    model::SourceModel model;
    try {
        model = dictionary::dictionaryFromJson(document, QStringLiteral("fuzz.json"));
    } catch (const Failure &failure) {
        if (failure.description().contains(QLatin1Char('\n')) || failure.description().contains(QLatin1Char('\r')))
            __builtin_trap();
        return 0;
    }
    if (dictionary::dictionaryFromJson(dictionary::jsonDictionary(model), QStringLiteral("again.json")) != model)
        __builtin_trap();
    return 0;
}
