#include "export/check/checks.h"

#include "export/dictionary/dictionarytext.h"
#include "platform/cleantext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace check {

namespace {

// Rounded down, as the dictionaries round: 100% only when it is all.
QString percent(int part, int whole)
{
    return whole == 0 ? QStringLiteral("-") : QStringLiteral("%1%").arg(qint64(100) * part / whole);
}

QString line(const QString &text)
{
    return platform::cleanText(text, platform::OneLine);
}

QString counts(const CheckResult &result)
{
    QString text = QStringLiteral("%1 errors, %2 warnings, %3 notes")
                       .arg(result.count(Severity::Error))
                       .arg(result.count(Severity::Warning))
                       .arg(result.count(Severity::Note));
    if (!result.ignored.isEmpty())
        text += QStringLiteral("; not checked: ") + result.ignored.join(QStringLiteral(", "));
    return text;
}

QString coverageText(const Coverage &c)
{
    return QStringLiteral("%1 fields, comment %2 (%3), caption %4 (%5), either %6 (%7)")
        .arg(c.fields)
        .arg(c.comment)
        .arg(percent(c.comment, c.fields))
        .arg(c.caption)
        .arg(percent(c.caption, c.fields))
        .arg(c.either)
        .arg(percent(c.either, c.fields));
}

QByteArray text(const CheckResult &result)
{
    QString out = QStringLiteral("Checks of %1\n\n").arg(line(result.source));
    const Rule *last = nullptr;
    for (const Finding &finding : result.findings) {
        if (finding.rule != last) {
            last = finding.rule;
            out += QStringLiteral("%1 %2: %3\n")
                       .arg(severityWord(last->severity), QLatin1String(last->id), QLatin1String(last->why));
        }
        out += QStringLiteral("  %1: %2\n").arg(finding.place.isEmpty() ? QStringLiteral("(the source)") : line(finding.place),
                                                 line(finding.message));
    }
    if (!result.findings.isEmpty())
        out += QLatin1Char('\n');
    out += QStringLiteral("Documented fields (a comment, a caption, either):\n");
    for (const Coverage &table : result.tables)
        out += QStringLiteral("  %1: %2\n").arg(line(table.table), coverageText(table));
    out += QStringLiteral("  In all: %1\n\n").arg(coverageText(result.total));
    out += counts(result) + QLatin1Char('\n');
    return out.toUtf8();
}

QJsonObject coverageJson(const Coverage &c)
{
    QJsonObject object;
    if (!c.table.isNull())
        object[QStringLiteral("table")] = dictionary::pairedText(c.table);
    object[QStringLiteral("fields")] = c.fields;
    object[QStringLiteral("comment")] = c.comment;
    object[QStringLiteral("caption")] = c.caption;
    object[QStringLiteral("either")] = c.either;
    return object;
}

QByteArray json(const CheckResult &result)
{
    QJsonArray findings;
    for (const Finding &finding : result.findings) {
        findings.append(QJsonObject{
            {QStringLiteral("rule"), QLatin1String(finding.rule->id)},
            {QStringLiteral("severity"), severityWord(finding.rule->severity)},
            {QStringLiteral("place"), dictionary::pairedText(finding.place)},
            {QStringLiteral("message"), dictionary::pairedText(finding.message)},
            {QStringLiteral("why"), QLatin1String(finding.rule->why)},
        });
    }
    QJsonArray tables;
    for (const Coverage &table : result.tables)
        tables.append(coverageJson(table));
    QJsonObject coverage{{QStringLiteral("tables"), tables}, {QStringLiteral("total"), coverageJson(result.total)}};
    const QJsonObject document{
        {QStringLiteral("source"), dictionary::pairedText(result.source)},
        {QStringLiteral("findings"), findings},
        {QStringLiteral("coverage"), coverage},
        {QStringLiteral("errors"), result.count(Severity::Error)},
        {QStringLiteral("warnings"), result.count(Severity::Warning)},
        {QStringLiteral("notes"), result.count(Severity::Note)},
        {QStringLiteral("ignored"), QJsonArray::fromStringList(result.ignored)},
    };
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

QByteArray markdown(const CheckResult &result)
{
    QString out = QStringLiteral("# Checks\n\n**Source:** %1\n\n").arg(dictionary::markdownText(result.source));
    out += QStringLiteral("## Findings\n\n");
    if (result.findings.isEmpty()) {
        out += QStringLiteral("No findings.\n\n");
    } else {
        out += QStringLiteral("| Severity | Rule | Place | Finding | Why it matters |\n|---|---|---|---|---|\n");
        for (const Finding &finding : result.findings) {
            out += QStringLiteral("| %1 | %2 | %3 | %4 | %5 |\n")
                       .arg(severityWord(finding.rule->severity), QLatin1String(finding.rule->id),
                            dictionary::markdownText(finding.place), dictionary::markdownText(finding.message),
                            QLatin1String(finding.rule->why));
        }
        out += QLatin1Char('\n');
    }
    out += QStringLiteral("## Documented fields\n\n| Table | Fields | Comment | Caption | Either |\n"
                          "|---|---:|---:|---:|---:|\n");
    // The counts first, the name last: a name holding "%2" stays as it is.
    const auto row = [&](const QString &name, const Coverage &c) {
        const auto part = [&](int n) { return QStringLiteral("%1 (%2)").arg(n).arg(percent(n, c.fields)); };
        out += QStringLiteral("| %1 | %2 | %3 | %4 | %5 |\n")
                   .arg(name, QString::number(c.fields), part(c.comment), part(c.caption), part(c.either));
    };
    for (const Coverage &table : result.tables)
        row(dictionary::markdownText(table.table), table);
    row(QStringLiteral("**In all**"), result.total);
    out += QLatin1Char('\n') + counts(result) + QLatin1Char('\n');
    return out.toUtf8();
}

} // namespace

QByteArray writeCheck(const CheckResult &result, CheckFormat format)
{
    switch (format) {
    case CheckFormat::Json:
        return json(result);
    case CheckFormat::Markdown:
        return markdown(result);
    case CheckFormat::Text:
        break;
    }
    return text(result);
}

} // namespace check
