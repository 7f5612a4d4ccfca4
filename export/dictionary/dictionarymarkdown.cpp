#include "export/dictionary/dictionary.h"
#include "export/dictionary/documentwriter.h"
#include "export/dictionary/dictionarytext.h"
#include "platform/cleantext.h"

#include <QStringList>

// CommonMark with GitHub's tables. Text from the files is escaped wherever it
// goes (cells, headings, link texts, paragraphs), so a name cannot open a
// column, a link, emphasis or raw HTML; its line breaks become <br>, so it
// never starts a line of its own. The only raw HTML is ours: the section
// anchors, which do not depend on a renderer's way of naming headings.

namespace dictionary {

namespace {

const QString separator = QStringLiteral(" · ");

QString link(const QString &text, const QString &anchor)
{
    return QLatin1Char('[') + markdownText(text) + QStringLiteral("](#") + anchor + QLatin1Char(')');
}

QString contentsEntry(const QString &name, const QString &anchor)
{
    return QStringLiteral("  - ") + link(nameOrPlaceholder(name), anchor) + QLatin1Char('\n');
}

QString heading(int level, const QString &anchor, const QString &title)
{
    return QString(level, QLatin1Char('#')) + QStringLiteral(" <a id=\"") + anchor + QStringLiteral("\"></a>")
        + title + QLatin1Char('\n');
}

QString fact(const QString &label, const QString &text)
{
    return QStringLiteral("**") + label + QStringLiteral(":** ") + markdownText(text);
}

// A rule as shown, then its message in parentheses when there is one.
QString withMessage(const QString &rule, const QString &message)
{
    return message.isEmpty() ? rule : rule + QStringLiteral(" (") + markdownText(message) + QLatin1Char(')');
}

QString row(const QStringList &cells)
{
    return QStringLiteral("| ") + cells.join(QStringLiteral(" | ")) + QStringLiteral(" |\n");
}

// The table name, linked to its section when the source has that table.
QString tableReference(const SectionAnchors &anchors, const QString &name)
{
    const qsizetype table = anchors.tableNamed(name);
    return table < 0 ? markdownText(name) : link(name, anchors.tables.at(table));
}

// A fenced block longer than any run of backticks in the text, so no line of
// it closes the block.
QString codeBlock(const QString &text, const QString &language)
{
    const QString shown = platform::cleanText(text, platform::Lines);
    qsizetype longest = 0;
    qsizetype run = 0;
    for (const QChar c : shown) {
        run = c == u'`' ? run + 1 : 0;
        longest = qMax(longest, run);
    }
    const QString fence(qMax<qsizetype>(3, longest + 1), QLatin1Char('`'));
    return fence + language + QLatin1Char('\n') + textLines(shown).join(QLatin1Char('\n')) + QLatin1Char('\n')
        + fence + QLatin1Char('\n');
}

QString fieldDescription(const model::FieldModel &field)
{
    return fieldDescriptionLines(field, markdownText, markdownText, withMessage).join(QStringLiteral("<br>"));
}

QString fieldsBlock(const model::TableModel &table)
{
    QString block = QStringLiteral("#### Fields\n\n");
    if (table.fields.isEmpty())
        return block + QStringLiteral("No fields.\n\n");
    block += QStringLiteral("| Name | Type | Width | Decimals | Null | Default | Caption | Description |\n"
                           "|---|---|---:|---:|---|---|---|---|\n");
    for (const model::FieldModel &field : table.fields) {
        const QString name = field.shortName.isEmpty()
            ? markdownText(field.name)
            : markdownText(field.name) + QStringLiteral(" (") + markdownText(field.shortName) + QLatin1Char(')');
        block += row({name, markdownText(typeText(field)), QString::number(field.width),
                     QString::number(field.decimals),
                     field.nullable ? QStringLiteral("yes") : QStringLiteral("no"),
                     markdownText(field.defaultValue), markdownText(field.caption), fieldDescription(field)});
    }
    return block + QLatin1Char('\n');
}

QString indexesBlock(const model::TableModel &table)
{
    QString block = QStringLiteral("#### Indexes\n\n");
    if (!table.indexesKnown && table.indexes.isEmpty())
        return block + QStringLiteral("No structural index was read.\n\n");
    if (table.indexes.isEmpty())
        return block + QStringLiteral("No indexes.\n\n");
    block += QStringLiteral("| Name | Kind | Expression | Filter | Order |\n"
                           "|---|---|---|---|---|\n");
    for (const model::IndexModel &index : table.indexes) {
        block += row({markdownText(index.name), tagKindWord(index.kind), markdownText(index.expression),
                     markdownText(index.filter), markdownText(orderText(index))});
    }
    return block + QLatin1Char('\n');
}

QString relationsBlock(const model::SourceModel &source, const SectionAnchors &anchors, qsizetype tableIndex)
{
    QString rows;
    for (const model::RelationModel &relation : source.relations) {
        if (anchors.tableNamed(relation.parentTable) != tableIndex
            && anchors.tableNamed(relation.childTable) != tableIndex)
            continue;
        rows += row({tableReference(anchors, relation.parentTable), markdownText(relation.parentTag),
                     tableReference(anchors, relation.childTable), markdownText(relation.childTag),
                     markdownText(relation.onUpdate), markdownText(relation.onDelete), markdownText(relation.onInsert)});
    }
    if (rows.isEmpty())
        return QString();
    return QStringLiteral("#### Relations\n\n"
                          "| Parent table | Parent tag | Child table | Child tag "
                          "| On update | On delete | On insert |\n"
                          "|---|---|---|---|---|---|---|\n")
        + rows + QLatin1Char('\n');
}

QString tableSection(const model::SourceModel &source, const SectionAnchors &anchors, qsizetype index,
                     const model::TableModel &table)
{
    QString section = heading(3, anchors.tables.at(index), markdownText(nameOrPlaceholder(table.name)))
        + QLatin1Char('\n');
    section += QStringList{fact(QStringLiteral("File"), table.file),
                           fact(QStringLiteral("Dialect"), table.dialect),
                           fact(QStringLiteral("Code page"),
                                table.codePage.isEmpty() ? QStringLiteral("none") : table.codePage),
                           fact(QStringLiteral("Records"), QString::number(table.recordCount)),
                           fact(QStringLiteral("Last update"), lastUpdateText(table)),
                           fact(QStringLiteral("Memo"), memoText(table))}
                   .join(separator)
        + QStringLiteral("\n\n");
    if (!table.comment.isEmpty())
        section += fact(QStringLiteral("Comment"), table.comment) + QStringLiteral("\n\n");
    if (!table.rule.isEmpty()) {
        section += withMessage(fact(QStringLiteral("Rule"), table.rule), table.ruleText) + QStringLiteral("\n\n");
    }
    QStringList triggers;
    if (!table.insertTrigger.isEmpty())
        triggers.append(fact(QStringLiteral("Insert trigger"), table.insertTrigger));
    if (!table.updateTrigger.isEmpty())
        triggers.append(fact(QStringLiteral("Update trigger"), table.updateTrigger));
    if (!table.deleteTrigger.isEmpty())
        triggers.append(fact(QStringLiteral("Delete trigger"), table.deleteTrigger));
    if (!triggers.isEmpty())
        section += triggers.join(separator) + QStringLiteral("\n\n");
    return section + fieldsBlock(table) + indexesBlock(table) + relationsBlock(source, anchors, index);
}

QString viewSection(const model::ViewModel &view, const QString &anchor)
{
    QString section = heading(3, anchor, markdownText(nameOrPlaceholder(view.name))) + QLatin1Char('\n');
    section += view.remote ? fact(QStringLiteral("Remote view, connection"), view.connection)
                           : QStringLiteral("**Local view**");
    section += QStringLiteral("\n\n");
    if (!view.comment.isEmpty())
        section += fact(QStringLiteral("Comment"), view.comment) + QStringLiteral("\n\n");
    if (!view.fields.isEmpty()) {
        section += QStringLiteral("| Name | Data type | Description |\n"
                                  "|---|---|---|\n");
        for (const model::ViewFieldModel &field : view.fields)
            section += row({markdownText(field.name), markdownText(field.dataType), markdownText(field.comment)});
        section += QLatin1Char('\n');
    }
    if (view.sql.isEmpty())
        return section + QStringLiteral("No SQL is stored.\n\n");
    return section + codeBlock(view.sql, QStringLiteral("sql")) + QLatin1Char('\n');
}

QString findingsSection(const model::SourceModel &source, const SectionAnchors &anchors)
{
    QString section = heading(2, QStringLiteral("findings"), QStringLiteral("Findings")) + QLatin1Char('\n');
    if (source.findings.isEmpty())
        return section + QStringLiteral("No findings.\n");
    section += QStringLiteral("| Severity | Place | Message |\n"
                              "|---|---|---|\n");
    for (const model::Finding &finding : source.findings) {
        const QString severity = finding.severity == model::Severity::Error
            ? QStringLiteral("**Error**")
            : QStringLiteral("**Warning**");
        section += row({severity, tableReference(anchors, finding.place), markdownText(finding.message)});
    }
    return section;
}

class MarkdownWriter : public ReadableWriter {
public:
    using ReadableWriter::ReadableWriter;

private:
    QString head(const model::SourceModel &outline, const SectionAnchors &anchors) const override
    {
        QString document = QStringLiteral("# Data dictionary\n\n");
        document += fact(QStringLiteral("Source"), outline.path) + QStringLiteral(" (") + sourceKindText(outline)
            + QStringLiteral(")\n\n");
        if (!outline.comment.isEmpty())
            document += fact(QStringLiteral("Comment"), outline.comment) + QStringLiteral("\n\n");

        document += heading(2, QStringLiteral("contents"), QStringLiteral("Contents")) + QLatin1Char('\n');
        document += QStringLiteral("- [Tables](#tables)\n");
        for (qsizetype i = 0; i < outline.tables.size(); ++i)
            document += contentsEntry(outline.tables.at(i).name, anchors.tables.at(i));
        if (!outline.views.isEmpty()) {
            document += QStringLiteral("- [Views](#views)\n");
            for (qsizetype i = 0; i < outline.views.size(); ++i)
                document += contentsEntry(outline.views.at(i).name, anchors.views.at(i));
        }
        document += QStringLiteral("- [Findings](#findings)\n\n");

        document += heading(2, QStringLiteral("tables"), QStringLiteral("Tables")) + QLatin1Char('\n');
        if (outline.tables.isEmpty())
            document += QStringLiteral("No tables.\n\n");
        return document;
    }

    QString section(const model::SourceModel &outline, const SectionAnchors &anchors, qsizetype index,
                    const model::TableModel &table) const override
    {
        return tableSection(outline, anchors, index, table);
    }

    QString tail(const model::SourceModel &source, const SectionAnchors &anchors) const override
    {
        QString document;
        if (!source.views.isEmpty()) {
            document += heading(2, QStringLiteral("views"), QStringLiteral("Views")) + QLatin1Char('\n');
            for (qsizetype i = 0; i < source.views.size(); ++i)
                document += viewSection(source.views.at(i), anchors.views.at(i));
        }
        return document + findingsSection(source, anchors);
    }
};

} // namespace

std::unique_ptr<DocumentWriter> markdownDocumentWriter(const DictionarySink &sink)
{
    return std::make_unique<MarkdownWriter>(sink);
}

QByteArray markdownDictionary(const model::SourceModel &source)
{
    return wholeDocument(DictionaryFormat::Markdown, source);
}

} // namespace dictionary
