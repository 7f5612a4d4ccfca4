#include "platform/fileaccess.h"
#include "export/cli/reportcommand.h"

#include <QCoreApplication>
#include <QFile>

namespace {

// Standard output when the program was started with it closed: every write
// fails, so the report is not taken for written.
class ClosedStream final : public QIODevice {
public:
    ClosedStream()
    {
        open(QIODevice::WriteOnly);
        setErrorString(QStringLiteral("it is closed"));
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64) override { return -1; }
};

} // namespace

int main(int argc, char *argv[])
{
    // Before anything is opened, so no file can take a closed stream's number.
    const bool outOpen = platform::holdStandardStream(1);
    const bool errOpen = platform::holdStandardStream(2);
    QCoreApplication app(argc, argv);
    platform::rawStandardOutput();
    // Unbuffered, straight to the descriptor: a failed write shows at once.
    QFile out;
    QFile err;
    ClosedStream closed;
    if (outOpen)
        out.open(1, QIODevice::WriteOnly | QIODevice::Unbuffered);
    if (errOpen)
        err.open(2, QIODevice::WriteOnly | QIODevice::Unbuffered);
    QIODevice &output = outOpen ? static_cast<QIODevice &>(out) : closed;
    QIODevice &errors = errOpen ? static_cast<QIODevice &>(err) : closed;
    return cli::run(app.arguments(), output, errors);
}
