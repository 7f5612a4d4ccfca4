// A data source built from a recipe (fuzz/sourcerecipe.h, after one byte of
// options: bit 0 a container, which is then the source), its JSON data
// dictionary written by orvalle-report, and the source compared with that
// dictionary and the dictionary with itself. Whatever the files hold:
//  - writing the dictionary ends with 0 or 1 and throws nothing, and nothing
//    under the temporary folder changes but the dictionary;
//  - a dictionary written with 0 compares equal to its source, and to
//    itself: exit 0, nothing on standard error, nothing changed;
//  - a dictionary written with 1 (a table or its tags could not be read)
//    still compares with itself with 0 or 2, never 1.

#include "export/cli/reportcommand.h"
#include "sourcerecipe.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>

using namespace fuzzsource;

namespace {

Run runCommand(const QStringList &arguments)
{
    return runReportCommand(QStringList{QStringLiteral("orvalle-report")} + arguments);
}

QString described(const QStringList &arguments, const Run &run)
{
    return arguments.join(QLatin1Char(' ')) + QStringLiteral(" -> %1\n").arg(run.code) + QString::fromUtf8(run.out)
        + QString::fromUtf8(run.err);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Recipe recipe(data, size);
    QTemporaryDir temporary;
    if (!temporary.isValid())
        fail("cannot make a temporary folder", temporary.errorString());
    const Places places = makePlaces(QFile::encodeName(temporary.path()));
    const quint8 options = recipe.byte();
    for (int n = recipe.below(9); n > 0; --n)
        makeEntry(recipe, places);
    const QByteArray container = (options & 1) ? makeContainer(recipe, places) : QByteArray();
    const QString source = QFile::decodeName(container.isEmpty() ? places.data : container);
    const QString dictionary = QFile::decodeName(places.out + "/dictionary.json");
    const std::filesystem::path root = places.root.toStdString();

    const Snapshot before = snapshot(root);
    const QStringList write{QStringLiteral("--format"), QStringLiteral("json"), source, QStringLiteral("-o"), dictionary};
    const Run written = runCommand(write);
    if (written.code != 0 && written.code != 1)
        fail("writing the dictionary ended with neither 0 nor 1", described(write, written));
    Snapshot after = snapshot(root);
    const std::string made = "w/out/dictionary.json";
    const bool exists = after.erase(made) == 1;
    if (!changes(before, after).empty())
        fail("writing the dictionary changed a file of the source", described(write, written));
    if (!exists) {
        if (written.code == 0)
            fail("exit status 0 and no dictionary", described(write, written));
        return 0;
    }

    const Snapshot withDictionary = snapshot(root);
    const QStringList againstSource{QStringLiteral("--diff"), dictionary, source};
    const QStringList againstItself{QStringLiteral("--diff"), dictionary, dictionary};
    for (const QStringList &compare : {againstSource, againstItself}) {
        const Run compared = runCommand(compare);
        if (written.code == 0 && (compared.code != 0 || !compared.err.isEmpty()))
            fail("a source and its own dictionary differ", described(write, written) + described(compare, compared));
        if (compare == againstItself && compared.code != 0 && compared.code != 2)
            fail("a dictionary differs from itself", described(compare, compared));
        if (!changes(withDictionary, snapshot(root)).empty())
            fail("comparing changed a file", described(compare, compared));
    }
    return 0;
}
