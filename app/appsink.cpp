#include "app/appsink.h"

#include "app/prompts.h"

namespace app {

namespace {
class PromptSink final : public app::ErrorSink {
public:
    void report(const QString &location, int label, const QString &description) override
    {
        prompts().errorBox(app::errorMessage(description, location, label));
    }
};
} // namespace

app::ErrorSink &errorBoxSink()
{
    static PromptSink sink;
    return sink;
}

} // namespace app
