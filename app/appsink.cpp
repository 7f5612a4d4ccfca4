#include "appsink.h"

#include "prompts.h"

namespace Main {

namespace {
class PromptSink final : public errorreport::Sink {
public:
    void report(const QString &location, int label, const QString &description) override
    {
        prompts().errorBox(errorreport::message(description, location, label));
    }
};
} // namespace

errorreport::Sink &ErrorBox()
{
    static PromptSink sink;
    return sink;
}

} // namespace Main
