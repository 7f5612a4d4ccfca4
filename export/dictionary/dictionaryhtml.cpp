#include "export/dictionary/dictionary.h"
#include "export/dictionary/documentwriter.h"
#include "export/dictionary/dictionarytext.h"

#include <QStringList>

// One page that needs nothing else: its style inline, no script, nothing to
// fetch. Written so an XML parser reads it as well as a browser does: every
// element closed (void ones as <br />), every attribute quoted, only the
// entities XML knows, and no character XML forbids.

namespace dictionary {

namespace {

const char *const style = R"(
body { font: 14px/1.45 system-ui, "Liberation Sans", sans-serif; color: #1d2530; background: #fff;
       max-width: 76rem; margin: 0 auto; padding: 1.5rem; }
h1 { font-size: 1.8rem; margin: 0 0 .4rem; }
h2 { font-size: 1.4rem; border-bottom: 2px solid #3d6e8f; padding-bottom: .2rem; margin: 2.4rem 0 .8rem; }
h3 { font-size: 1.2rem; margin: 2rem 0 .4rem; }
h4 { font-size: 1rem; color: #3d4b5a; margin: 1.2rem 0 .4rem; }
a { color: #1f5f8b; }
nav ul { margin: .2rem 0; padding-left: 1.4rem; }
dl.facts { display: flex; flex-wrap: wrap; gap: .2rem 1.6rem; margin: .4rem 0 .8rem; }
dl.facts div { display: flex; gap: .4rem; }
dl.facts dt { font-weight: 600; color: #3d4b5a; }
dl.facts dd { margin: 0; }
table { border-collapse: collapse; width: 100%; margin: .3rem 0 1rem; }
th, td { border: 1px solid #c9d3dd; padding: .25rem .5rem; text-align: left; vertical-align: top;
         overflow-wrap: anywhere; }
th { background: #eef3f7; }
.number { text-align: right; font-variant-numeric: tabular-nums; }
code, pre { font-family: ui-monospace, "Liberation Mono", monospace; font-size: .95em; }
pre code { font-size: 1em; }
pre.sql { background: #f5f7f9; border: 1px solid #c9d3dd; padding: .6rem .8rem; white-space: pre-wrap;
          overflow-wrap: anywhere; }
p.none { color: #5b6773; font-style: italic; }
tr.warning td { background: #fff4d6; }
tr.error td { background: #fde2df; }
tr.warning .severity { color: #7a5300; font-weight: 700; }
tr.error .severity { color: #a4201a; font-weight: 700; }
@media print {
  body { font-size: 9.5pt; max-width: none; padding: 0; }
  nav { break-after: page; }
  a { color: inherit; text-decoration: none; }
  h2, h3, h4 { break-after: avoid; }
  tr, pre { break-inside: avoid; }
  thead { display: table-header-group; }
  th, tr.warning td, tr.error td { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
}
)";

// Text from the files inside an element: its line breaks kept as <br />.
QString text(QStringView from)
{
    QStringList lines = textLines(from);
    for (QString &line : lines)
        line = htmlText(line);
    return lines.join(QStringLiteral("<br />"));
}

// Text on one line, for the page's title.
QString flatText(QStringView from)
{
    return htmlText(textLines(from).join(QLatin1Char(' ')));
}

// Appended in place: a dictionary of thousands of tables makes millions.
QString element(const char *tag, const QString &content, const QString &attributes = QString())
{
    const QLatin1StringView name(tag);
    QString out;
    out.reserve(2 * name.size() + attributes.size() + content.size() + 5);
    out += QLatin1Char('<');
    out += name;
    out += attributes;
    out += QLatin1Char('>');
    out += content;
    out += QLatin1String("</");
    out += name;
    out += QLatin1Char('>');
    return out;
}

QString classes(const char *names)
{
    return QStringLiteral(" class=\"") + QLatin1String(names) + QLatin1Char('"');
}

QString link(const QString &content, const QString &anchor)
{
    return element("a", content, QStringLiteral(" href=\"#") + anchor + QLatin1Char('"'));
}

QString code(const QString &from)
{
    return from.isEmpty() ? QString() : element("code", text(from));
}

// A rule as shown, then its message in parentheses when there is one.
QString withMessage(const QString &rule, const QString &message)
{
    return message.isEmpty() ? rule : rule + QStringLiteral(" (") + text(message) + QLatin1Char(')');
}

QString cell(const QString &content)
{
    return element("td", content);
}

QString numberCell(qint64 number)
{
    static const QString numberClass = classes("number");
    return element("td", QString::number(number), numberClass);
}

QString headRow(const QStringList &heads, const QList<int> &numberColumns = {})
{
    QString row;
    for (qsizetype i = 0; i < heads.size(); ++i)
        row += element("th", heads.at(i), numberColumns.contains(int(i)) ? classes("number") : QString());
    return QStringLiteral("<thead>") + element("tr", row) + QStringLiteral("</thead>\n");
}

QString none(const char *sentence)
{
    return element("p", QLatin1String(sentence), classes("none")) + QLatin1Char('\n');
}

QString tableReference(const SectionAnchors &anchors, const QString &name)
{
    const qsizetype table = anchors.tableNamed(name);
    return table < 0 ? text(name) : link(text(name), anchors.tables.at(table));
}

QString fact(const char *label, const QString &content)
{
    return QStringLiteral("<div>") + element("dt", QLatin1String(label)) + element("dd", content)
        + QStringLiteral("</div>\n");
}

QString labelled(const char *label, const QString &content)
{
    return element("p", element("strong", QLatin1String(label)) + QLatin1Char(' ') + content) + QLatin1Char('\n');
}

QString fieldDescription(const model::FieldModel &field)
{
    return fieldDescriptionLines(field, text, code, withMessage).join(QStringLiteral("<br />"));
}

QString fieldsBlock(const model::TableModel &table)
{
    QString block = QStringLiteral("<h4>Fields</h4>\n");
    if (table.fields.isEmpty())
        return block + none("No fields.");
    block += QStringLiteral("<table class=\"fields\">\n")
        + headRow({QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Width"),
                   QStringLiteral("Decimals"), QStringLiteral("Null"), QStringLiteral("Default"),
                   QStringLiteral("Caption"), QStringLiteral("Description")},
                  {2, 3})
        + QStringLiteral("<tbody>\n");
    for (const model::FieldModel &field : table.fields) {
        const QString name = field.shortName.isEmpty()
            ? text(field.name)
            : text(field.name) + QStringLiteral(" (") + text(field.shortName) + QLatin1Char(')');
        QString cells = cell(name);
        cells += cell(text(typeText(field)));
        cells += numberCell(field.width);
        cells += numberCell(field.decimals);
        cells += cell(field.nullable ? QStringLiteral("yes") : QStringLiteral("no"));
        cells += cell(code(field.defaultValue));
        cells += cell(text(field.caption));
        cells += cell(fieldDescription(field));
        block += element("tr", cells);
        block += QLatin1Char('\n');
    }
    return block + QStringLiteral("</tbody>\n</table>\n");
}

QString indexesBlock(const model::TableModel &table)
{
    QString block = QStringLiteral("<h4>Indexes</h4>\n");
    if (!table.indexesKnown && table.indexes.isEmpty())
        return block + none("No structural index was read.");
    if (table.indexes.isEmpty())
        return block + none("No indexes.");
    block += QStringLiteral("<table class=\"indexes\">\n")
        + headRow({QStringLiteral("Name"), QStringLiteral("Kind"), QStringLiteral("Expression"),
                   QStringLiteral("Filter"), QStringLiteral("Order")})
        + QStringLiteral("<tbody>\n");
    for (const model::IndexModel &index : table.indexes) {
        block += element("tr", cell(text(index.name)) + cell(tagKindWord(index.kind)) + cell(code(index.expression))
                                  + cell(code(index.filter)) + cell(text(orderText(index))))
            + QLatin1Char('\n');
    }
    return block + QStringLiteral("</tbody>\n</table>\n");
}

QString relationsBlock(const model::SourceModel &source, const SectionAnchors &anchors, qsizetype tableIndex)
{
    QString rows;
    for (const model::RelationModel &relation : source.relations) {
        if (anchors.tableNamed(relation.parentTable) != tableIndex
            && anchors.tableNamed(relation.childTable) != tableIndex)
            continue;
        rows += element("tr", cell(tableReference(anchors, relation.parentTable))
                                  + cell(text(relation.parentTag))
                                  + cell(tableReference(anchors, relation.childTable))
                                  + cell(text(relation.childTag)) + cell(text(relation.onUpdate))
                                  + cell(text(relation.onDelete)) + cell(text(relation.onInsert)))
            + QLatin1Char('\n');
    }
    if (rows.isEmpty())
        return QString();
    return QStringLiteral("<h4>Relations</h4>\n<table class=\"relations\">\n")
        + headRow({QStringLiteral("Parent table"), QStringLiteral("Parent tag"), QStringLiteral("Child table"),
                   QStringLiteral("Child tag"), QStringLiteral("On update"), QStringLiteral("On delete"),
                   QStringLiteral("On insert")})
        + QStringLiteral("<tbody>\n") + rows + QStringLiteral("</tbody>\n</table>\n");
}

QString tableSection(const model::SourceModel &source, const SectionAnchors &anchors, qsizetype index,
                     const model::TableModel &table)
{
    QString section = QStringLiteral("<section class=\"table\" id=\"") + anchors.tables.at(index)
        + QStringLiteral("\">\n") + element("h3", text(nameOrPlaceholder(table.name))) + QLatin1Char('\n');
    section += QStringLiteral("<dl class=\"facts\">\n") + fact("File", text(table.file))
        + fact("Dialect", text(table.dialect))
        + fact("Code page", table.codePage.isEmpty() ? QStringLiteral("none") : text(table.codePage))
        + fact("Records", QString::number(table.recordCount)) + fact("Last update", lastUpdateText(table))
        + fact("Memo", text(memoText(table)));
    if (!table.insertTrigger.isEmpty())
        section += fact("Insert trigger", code(table.insertTrigger));
    if (!table.updateTrigger.isEmpty())
        section += fact("Update trigger", code(table.updateTrigger));
    if (!table.deleteTrigger.isEmpty())
        section += fact("Delete trigger", code(table.deleteTrigger));
    section += QStringLiteral("</dl>\n");
    if (!table.comment.isEmpty())
        section += element("p", text(table.comment), classes("comment")) + QLatin1Char('\n');
    if (!table.rule.isEmpty()) {
        section += labelled("Rule:", withMessage(code(table.rule), table.ruleText));
    }
    return section + fieldsBlock(table) + indexesBlock(table) + relationsBlock(source, anchors, index)
        + QStringLiteral("</section>\n");
}

QString viewSection(const model::ViewModel &view, const QString &anchor)
{
    QString section = QStringLiteral("<section class=\"view\" id=\"") + anchor + QStringLiteral("\">\n")
        + element("h3", text(nameOrPlaceholder(view.name))) + QLatin1Char('\n');
    section += view.remote ? labelled("Remote view, connection", text(view.connection))
                           : element("p", element("strong", QStringLiteral("Local view"))) + QLatin1Char('\n');
    if (!view.comment.isEmpty())
        section += element("p", text(view.comment), classes("comment")) + QLatin1Char('\n');
    if (!view.fields.isEmpty()) {
        section += QStringLiteral("<table class=\"fields\">\n")
            + headRow({QStringLiteral("Name"), QStringLiteral("Data type"), QStringLiteral("Description")})
            + QStringLiteral("<tbody>\n");
        for (const model::ViewFieldModel &field : view.fields) {
            section += element("tr", cell(text(field.name)) + cell(text(field.dataType)) + cell(text(field.comment)))
                + QLatin1Char('\n');
        }
        section += QStringLiteral("</tbody>\n</table>\n");
    }
    if (view.sql.isEmpty())
        section += none("No SQL is stored.");
    else
        section += element("pre", element("code", htmlText(textLines(view.sql).join(QLatin1Char('\n')))),
                           classes("sql"))
            + QLatin1Char('\n');
    return section + QStringLiteral("</section>\n");
}

QString findingsSection(const model::SourceModel &source, const SectionAnchors &anchors)
{
    QString section = QStringLiteral("<section id=\"findings\">\n<h2>Findings</h2>\n");
    if (source.findings.isEmpty())
        return section + none("No findings.") + QStringLiteral("</section>\n");
    section += QStringLiteral("<table class=\"findings\">\n")
        + headRow({QStringLiteral("Severity"), QStringLiteral("Place"), QStringLiteral("Message")})
        + QStringLiteral("<tbody>\n");
    for (const model::Finding &finding : source.findings) {
        const bool error = finding.severity == model::Severity::Error;
        const QString severity = error ? QStringLiteral("Error") : QStringLiteral("Warning");
        section += element("tr",
                           element("td", severity, classes("severity"))
                               + cell(tableReference(anchors, finding.place)) + cell(text(finding.message)),
                           error ? classes("finding error") : classes("finding warning"))
            + QLatin1Char('\n');
    }
    return section + QStringLiteral("</tbody>\n</table>\n</section>\n");
}

QString contentsEntry(const QString &name, const QString &anchor)
{
    return element("li", link(text(nameOrPlaceholder(name)), anchor)) + QLatin1Char('\n');
}

QString contents(const model::SourceModel &source, const SectionAnchors &anchors)
{
    QString list = QStringLiteral("<nav id=\"contents\">\n<h2>Contents</h2>\n<ul>\n<li>")
        + link(QStringLiteral("Tables"), QStringLiteral("tables"));
    if (!source.tables.isEmpty()) {
        list += QStringLiteral("\n<ul>\n");
        for (qsizetype i = 0; i < source.tables.size(); ++i)
            list += contentsEntry(source.tables.at(i).name, anchors.tables.at(i));
        list += QStringLiteral("</ul>\n");
    }
    list += QStringLiteral("</li>\n");
    if (!source.views.isEmpty()) {
        list += QStringLiteral("<li>") + link(QStringLiteral("Views"), QStringLiteral("views"))
            + QStringLiteral("\n<ul>\n");
        for (qsizetype i = 0; i < source.views.size(); ++i)
            list += contentsEntry(source.views.at(i).name, anchors.views.at(i));
        list += QStringLiteral("</ul>\n</li>\n");
    }
    return list + element("li", link(QStringLiteral("Findings"), QStringLiteral("findings")))
        + QStringLiteral("\n</ul>\n</nav>\n");
}

class HtmlWriter : public ReadableWriter {
public:
    using ReadableWriter::ReadableWriter;

private:
    QString head(const model::SourceModel &outline, const SectionAnchors &anchors) const override
    {
        QString page = QStringLiteral("<!DOCTYPE html>\n"
                                      "<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\" xml:lang=\"en\">\n"
                                      "<head>\n"
                                      "<meta charset=\"utf-8\" />\n"
                                      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\" />\n");
        page += element("title", QStringLiteral("Data dictionary of ") + flatText(outline.path)) + QLatin1Char('\n');
        page += element("style", QLatin1String(style)) + QStringLiteral("\n</head>\n<body>\n<header>\n");
        page += QStringLiteral("<h1>Data dictionary</h1>\n");
        page += labelled("Source:",
                         text(outline.path) + QStringLiteral(" (") + sourceKindText(outline) + QLatin1Char(')'));
        if (!outline.comment.isEmpty())
            page += element("p", text(outline.comment), classes("comment")) + QLatin1Char('\n');
        page += QStringLiteral("</header>\n") + contents(outline, anchors) + QStringLiteral("<main>\n");

        page += QStringLiteral("<section id=\"tables\">\n<h2>Tables</h2>\n");
        if (outline.tables.isEmpty())
            page += none("No tables.");
        return page;
    }

    QString section(const model::SourceModel &outline, const SectionAnchors &anchors, qsizetype index,
                    const model::TableModel &table) const override
    {
        return tableSection(outline, anchors, index, table);
    }

    QString tail(const model::SourceModel &source, const SectionAnchors &anchors) const override
    {
        QString page = QStringLiteral("</section>\n");
        if (!source.views.isEmpty()) {
            page += QStringLiteral("<section id=\"views\">\n<h2>Views</h2>\n");
            for (qsizetype i = 0; i < source.views.size(); ++i)
                page += viewSection(source.views.at(i), anchors.views.at(i));
            page += QStringLiteral("</section>\n");
        }
        return page + findingsSection(source, anchors) + QStringLiteral("</main>\n</body>\n</html>\n");
    }
};

} // namespace

std::unique_ptr<DocumentWriter> htmlDocumentWriter(const DictionarySink &sink)
{
    return std::make_unique<HtmlWriter>(sink);
}

QByteArray htmlDictionary(const model::SourceModel &source)
{
    return wholeDocument(DictionaryFormat::Html, source);
}

} // namespace dictionary
