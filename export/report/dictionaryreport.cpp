#include "export/report/dictionaryreport.h"

#include "export/report/reportfile.h"
#include "model/sourcemodel.h"

#include <memory>

#include <QSet>

namespace report {

DictionaryResult dictionaryOf(dictionary::DictionaryFormat format, const ReportSource &source,
                              const QStringList &tables, const dictionary::DictionarySink &sink,
                              const dictionary::SqlOptions &sql)
{
    const dictionary::WrittenDictionary written = dictionary::writeDictionary(format, source.path, tables, sink, sql);
    DictionaryResult result;
    // A failure is a table asked for that the reader had to leave out (a
    // name the source lacks among them), or one whose index tags or
    // container properties it could not read: the document lacks them. The
    // other findings describe the source's health and are in the document.
    // The names are the list's own, exactly: tables whose names differ only
    // in case are tables of their own.
    const QSet<QString> asked(tables.cbegin(), tables.cend());
    QSet<QString> described(written.tables.cbegin(), written.tables.cend());
    for (const model::ViewModel &view : written.rest.views)
        described.insert(view.name);
    for (const model::Finding &finding : written.rest.findings) {
        if (!asked.contains(finding.place))
            continue;
        const bool leftOut = finding.severity == model::Severity::Error && !described.contains(finding.place);
        if (leftOut || model::gapOf(finding) != model::ModelGap::None)
            result.failures.append(finding);
    }
    return result;
}

DictionaryResult writeDictionaryFile(const QString &reportPath, dictionary::DictionaryFormat format,
                                     const ReportSource &source, const QStringList &tables,
                                     const dictionary::SqlOptions &sql)
{
    refuseSourceFile(reportPath, source, tables);
    DictionaryResult result;
    writeWholeFile(reportPath, [&](const dictionary::DictionarySink &sink) {
        result = dictionaryOf(format, source, tables, sink, sql);
    });
    return result;
}

} // namespace report
