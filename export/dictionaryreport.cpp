#include "dictionaryreport.h"

#include "reportfile.h"
#include "sourcemodel.h"

namespace exporting {

DictionaryResult dictionaryOf(DictionaryFormat format, const ReportSource &source, const QStringList &tables)
{
    const platform::SourceModel model = platform::readSourceModel(source.path, tables);
    DictionaryResult result;
    for (const platform::Finding &finding : model.findings) {
        if (finding.severity == platform::Severity::Error)
            result.failures.append(finding);
    }
    result.document = writeDictionary(format, model);
    return result;
}

DictionaryResult writeDictionaryFile(const QString &reportPath, DictionaryFormat format,
                                     const ReportSource &source, const QStringList &tables)
{
    refuseSourceFile(reportPath, source, tables);
    DictionaryResult result = dictionaryOf(format, source, tables);
    const std::unique_ptr<ReportOutput> output = openReportOutput(reportPath);
    try {
        output->write(result.document);
        output->commit();
    } catch (...) {
        output->discard();
        throw;
    }
    return result;
}

} // namespace exporting
