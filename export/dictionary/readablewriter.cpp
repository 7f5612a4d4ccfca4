#include "export/dictionary/readable.h"

#include "model/properties.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace dictionary {

namespace {

// What the writer hands on at least, but for the document's end.
constexpr size_t blockSize = 64 * 1024;

} // namespace

void Markup::number(qint64 value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    word(std::string_view(digits, size_t(end - digits)));
}

ReadableWriter::ReadableWriter(std::unique_ptr<Markup> markup, const DictionarySink &sink)
    : m_markup(std::move(markup)), m(*m_markup), m_sink(sink)
{
}

void ReadableWriter::handOn(bool all)
{
    std::string &out = m.out();
    if (out.empty() || (!all && out.size() < blockSize))
        return;
    m_sink(QByteArrayView(out.data(), qsizetype(out.size())));
    out.clear();
}

void ReadableWriter::plan(const model::TableModel &table)
{
    m_coverage += model::coverageOf(table);
}

void ReadableWriter::planAgain(const model::TableModel &table)
{
    m_diagrams.add(table);
}

// "3 of 4 fields (75%): comment 3, caption 4", after its bar.
void ReadableWriter::coverageText(const model::Coverage &coverage)
{
    const int percent = coverage.percent();
    if (percent >= 0)
        m.coverageBar(percent);
    m.number(coverage.either);
    m.word(" of ");
    m.number(coverage.fields);
    m.word(coverage.fields == 1 ? " field" : " fields");
    if (percent >= 0) {
        m.word(" (");
        m.number(percent);
        m.word("%)");
    }
    m.word(": comment ");
    m.number(coverage.comment);
    m.word(", caption ");
    m.number(coverage.caption);
}

void ReadableWriter::planned(const model::SourceModel &rest)
{
    m_impliedRelations = rest.impliedRelations;
    m_drawn = !rest.relations.isEmpty() || !rest.impliedRelations.isEmpty();
}

std::string ReadableWriter::boxLink(const DiagramBox &box) const
{
    const qsizetype table = m_anchors.tableNamed(box.table);
    return table < 0 ? std::string() : "#" + m_anchors.tables.at(size_t(table));
}

// The overview, when some relation joins the tables: a diagram of tables
// that nothing joins shows nothing their sections do not.
void ReadableWriter::diagramSection()
{
    if (!m_drawn)
        return;
    m.beginSection(Markup::Section::Part, "diagram", 2);
    m.word("Diagram");
    m.endTitle();
    m.diagram(m_diagrams.overview(), "overview", [this](const DiagramBox &box) { return boxLink(box); });
    m.endSection();
}

void ReadableWriter::begin(const model::SourceOutline &whole)
{
    const model::SourceModel &outline = whole.facts;
    m_tables = whole.tables;
    m_views = outline.views;
    m_relations = outline.relations;
    if (m_drawn)
        m_diagrams.relate(m_relations, m_impliedRelations);
    m_anchors = sectionAnchors(m_tables, m_views);
    const auto index = [this](const QList<model::RelationModel> &relations, QHash<qsizetype, QList<qsizetype>> &of) {
        for (qsizetype i = 0; i < relations.size(); ++i) {
            const qsizetype parent = m_anchors.tableNamed(relations[i].parentTable);
            const qsizetype child = m_anchors.tableNamed(relations[i].childTable);
            if (parent >= 0)
                of[parent].append(i);
            if (child >= 0 && child != parent)
                of[child].append(i);
        }
    };
    index(m_relations, m_relationsOf);
    index(m_impliedRelations, m_impliedRelationsOf);

    m.beginDocument(outline.path);
    m.beginParagraph();
    m.strong("Source:");
    m.word(" ");
    m.text(outline.path);
    m.word(" (");
    m.text(sourceKindText(outline));
    m.word(")");
    m.endParagraph();
    if (!outline.comment.isEmpty())
        m.comment(outline.comment);
    m.beginParagraph();
    m.strong("Documented fields:");
    m.word(" ");
    coverageText(m_coverage);
    m.endParagraph();
    m.endHeader();

    m.beginSection(Markup::Section::Contents, "contents", 2);
    m.word("Contents");
    m.endTitle();
    m.beginList();
    if (m_drawn) {
        m.beginItem();
        m.link(QStringLiteral("Diagram"), "diagram");
        m.endItem();
    }
    m.beginItem();
    m.link(QStringLiteral("Tables"), "tables");
    if (!m_tables.isEmpty()) {
        m.beginList();
        for (qsizetype i = 0; i < m_tables.size(); ++i) {
            contentsItem(m_tables.at(i), m_anchors.tables.at(size_t(i)));
            handOn(false);
        }
        m.endList();
    }
    m.endItem();
    if (!outline.views.isEmpty()) {
        m.beginItem();
        m.link(QStringLiteral("Views"), "views");
        m.beginList();
        for (qsizetype i = 0; i < outline.views.size(); ++i) {
            contentsItem(outline.views.at(i).name, m_anchors.views.at(size_t(i)));
            handOn(false);
        }
        m.endList();
        m.endItem();
    }
    m.beginItem();
    m.link(QStringLiteral("Findings"), "findings");
    m.endItem();
    m.endList();
    m.endSection();

    m.beginBody();
    diagramSection();
    m.beginSection(Markup::Section::Part, "tables", 2);
    m.word("Tables");
    m.endTitle();
    if (m_tables.isEmpty())
        m.none("No tables.");
    handOn(false);
}

void ReadableWriter::table(const model::TableModel &table)
{
    const qsizetype index = m_places.next(m_tables, table.name);
    if (index < 0)
        return;
    tableSection(index, table);
    handOn(false);
}

void ReadableWriter::end(const model::SourceModel &rest)
{
    m_findings = rest.findings;
    m.endSection();
    if (!m_views.isEmpty()) {
        m.beginSection(Markup::Section::Part, "views", 2);
        m.word("Views");
        m.endTitle();
        for (qsizetype i = 0; i < m_views.size(); ++i) {
            viewSection(i, m_views.at(i));
            handOn(false);
        }
        m.endSection();
    }
    findingsSection();
    m.endDocument();
    handOn(true);
}

void ReadableWriter::contentsItem(const QString &name, std::string_view anchor)
{
    m.beginItem();
    m.link(nameOrPlaceholder(name), anchor);
    m.endItem();
}

void ReadableWriter::textCell(const QString &text)
{
    m.beginCell();
    m.text(text);
    m.endCell();
}

// The table name, linked to its section when the source has that table.
void ReadableWriter::tableReference(const QString &name)
{
    const qsizetype table = m_anchors.tableNamed(name);
    if (table < 0)
        m.text(name);
    else
        m.link(name, m_anchors.tables.at(size_t(table)));
}

// A rule as code, then its message in parentheses when there is one.
void ReadableWriter::withMessage(const QString &rule, const QString &message)
{
    m.code(rule);
    if (message.isEmpty())
        return;
    m.word(" (");
    m.text(message);
    m.word(")");
}

void ReadableWriter::tableSection(qsizetype index, const model::TableModel &table)
{
    m.beginSection(Markup::Section::Table, m_anchors.tables.at(size_t(index)), 3);
    m.text(nameOrPlaceholder(table.name));
    m.endTitle();

    const auto fact = [&](std::string_view label, const QString &text) {
        m.beginFact(label);
        m.text(text);
        m.endFact();
    };
    const std::pair<std::string_view, const QString *> allTriggers[] = {{"Insert trigger", &table.insertTrigger},
                                                                        {"Update trigger", &table.updateTrigger},
                                                                        {"Delete trigger", &table.deleteTrigger}};
    const bool anyTrigger = std::any_of(std::begin(allTriggers), std::end(allTriggers),
                                        [](const auto &trigger) { return !trigger.second->isEmpty(); });
    const auto triggers = [&] {
        for (const auto &[label, trigger] : allTriggers) {
            if (trigger->isEmpty())
                continue;
            m.beginFact(label);
            m.code(*trigger);
            m.endFact();
        }
    };
    m.beginFacts();
    fact("File", table.file);
    fact("Dialect", table.dialect);
    fact("Code page", table.codePage.isEmpty() ? QStringLiteral("none") : table.codePage);
    m.beginFact("Records");
    m.number(table.recordCount);
    m.endFact();
    fact("Last update", lastUpdateText(table));
    fact("Memo", memoText(table));
    m.beginFact("Documented");
    coverageText(model::coverageOf(table));
    m.endFact();
    if (m.factsHoldTriggers())
        triggers();
    m.endFacts();
    if (!table.comment.isEmpty())
        m.comment(table.comment);
    if (!table.rule.isEmpty()) {
        m.beginParagraph();
        m.strong("Rule:");
        m.word(" ");
        withMessage(table.rule, table.ruleText);
        m.endParagraph();
    }
    if (!m.factsHoldTriggers() && anyTrigger) {
        m.beginFacts();
        triggers();
        m.endFacts();
    }
    fieldsBlock(table);
    indexesBlock(table);
    relationsBlock(index, false);
    relationsBlock(index, true);
    if (m.drawsEachTable()) {
        if (std::optional<Diagram> own = m_diagrams.around(table)) {
            if (m_edgesDrawn + own->edges.size() > PageMostEdges) {
                *own = Diagram();
                own->leftOut = QStringLiteral("No diagram: the tables before it have drawn the %1 relations a "
                                              "page's diagrams draw.")
                                   .arg(PageMostEdges);
            }
            m_edgesDrawn += own->edges.size();
            m.heading(4, "Diagram");
            // Ids of their own: the section has the table's anchor.
            m.diagram(*own, "diagram-" + m_anchors.tables.at(size_t(index)),
                      [this](const DiagramBox &box) { return boxLink(box); });
        }
    }
    m.endSection();
}

void ReadableWriter::fieldsBlock(const model::TableModel &table)
{
    m.heading(4, "Fields");
    if (table.fields.isEmpty()) {
        m.none("No fields.");
        return;
    }
    m.beginGrid("fields", {{"Name", false},
                           {"Type", false},
                           {"Width", true},
                           {"Decimals", true},
                           {"Null", false},
                           {"Default", false},
                           {"Caption", false},
                           {"Description", false}});
    for (const model::FieldModel &field : table.fields) {
        m.beginRow();
        m.beginCell();
        m.text(field.name);
        if (!field.shortName.isEmpty()) {
            m.word(" (");
            m.text(field.shortName);
            m.word(")");
        }
        m.endCell();
        textCell(typeText(field));
        m.beginCell(true);
        m.number(field.width);
        m.endCell();
        m.beginCell(true);
        m.number(field.decimals);
        m.endCell();
        m.beginCell();
        m.word(field.nullable ? "yes" : "no");
        m.endCell();
        m.beginCell();
        m.code(field.defaultValue);
        m.endCell();
        textCell(field.caption);

        // The description: its comment, its rule with the rule's message,
        // its format and its input mask, a line each.
        m.beginCell();
        bool first = true;
        const auto line = [&] {
            if (!first)
                m.lineBreak();
            first = false;
        };
        if (!field.comment.isEmpty()) {
            line();
            m.text(field.comment);
        }
        if (!field.rule.isEmpty()) {
            line();
            m.word("Rule: ");
            withMessage(field.rule, field.ruleText);
        }
        if (!field.format.isEmpty()) {
            line();
            m.word("Format: ");
            m.code(field.format);
        }
        if (!field.inputMask.isEmpty()) {
            line();
            m.word("Input mask: ");
            m.code(field.inputMask);
        }
        m.endCell();
        m.endRow();
    }
    m.endGrid();
}

void ReadableWriter::indexesBlock(const model::TableModel &table)
{
    m.heading(4, "Indexes");
    if (!table.indexesKnown && table.indexes.isEmpty()) {
        m.none("No structural index was read.");
        return;
    }
    if (table.indexes.isEmpty()) {
        m.none("No indexes.");
        return;
    }
    m.beginGrid("indexes", {{"Name", false}, {"Kind", false}, {"Expression", false}, {"Filter", false},
                            {"Order", false}});
    for (const model::IndexModel &index : table.indexes) {
        m.beginRow();
        textCell(index.name);
        m.beginCell();
        m.word(model::tagKindWords().at(int(index.kind)));
        m.endCell();
        m.beginCell();
        m.code(index.expression);
        m.endCell();
        m.beginCell();
        m.code(index.filter);
        m.endCell();
        textCell(orderText(index));
        m.endRow();
    }
    m.endGrid();
}

// The relations in which the table is the parent or the child, declared or
// only implied by the names and keys, each in a grid of its own; none, no
// block.
void ReadableWriter::relationsBlock(qsizetype index, bool implied)
{
    const QList<model::RelationModel> &relations = implied ? m_impliedRelations : m_relations;
    const QList<qsizetype> mine = (implied ? m_impliedRelationsOf : m_relationsOf).value(index);
    if (mine.isEmpty())
        return;
    if (implied) {
        m.heading(4, "Implied relations");
        m.beginGrid("relations", {{"Parent table", false},
                                  {"Parent tag", false},
                                  {"Child table", false},
                                  {"Child field", false},
                                  {"Child tag", false}});
    } else {
        m.heading(4, "Relations");
        m.beginGrid("relations", {{"Parent table", false},
                                  {"Parent tag", false},
                                  {"Child table", false},
                                  {"Child tag", false},
                                  {"On update", false},
                                  {"On delete", false},
                                  {"On insert", false}});
    }
    for (const qsizetype at : mine) {
        const model::RelationModel &relation = relations.at(at);
        m.beginRow();
        m.beginCell();
        tableReference(relation.parentTable);
        m.endCell();
        textCell(relation.parentTag);
        m.beginCell();
        tableReference(relation.childTable);
        m.endCell();
        if (implied) {
            textCell(relation.childField);
            textCell(relation.childTag);
        } else {
            for (const QString *text : {&relation.childTag, &relation.onUpdate, &relation.onDelete, &relation.onInsert})
                textCell(*text);
        }
        m.endRow();
    }
    m.endGrid();
}

void ReadableWriter::viewSection(qsizetype index, const model::ViewModel &view)
{
    m.beginSection(Markup::Section::View, m_anchors.views.at(size_t(index)), 3);
    m.text(nameOrPlaceholder(view.name));
    m.endTitle();
    m.beginParagraph();
    if (view.remote) {
        m.strong("Remote view, connection:");
        m.word(" ");
        m.text(view.connection);
    } else {
        m.strong("Local view");
    }
    m.endParagraph();
    if (!view.comment.isEmpty())
        m.comment(view.comment);
    if (!view.fields.isEmpty()) {
        m.beginGrid("fields", {{"Name", false}, {"Data type", false}, {"Description", false}});
        for (const model::ViewFieldModel &field : view.fields) {
            m.beginRow();
            for (const QString *text : {&field.name, &field.dataType, &field.comment})
                textCell(*text);
            m.endRow();
        }
        m.endGrid();
    }
    if (view.sql.isEmpty())
        m.none("No SQL is stored.");
    else
        m.codeBlock(view.sql, "sql");
    m.endSection();
}

void ReadableWriter::findingsSection()
{
    m.beginSection(Markup::Section::Part, "findings", 2);
    m.word("Findings");
    m.endTitle();
    if (m_findings.isEmpty()) {
        m.none("No findings.");
    } else {
        m.beginGrid("findings", {{"Severity", false}, {"Place", false}, {"Message", false}});
        for (const model::Finding &finding : m_findings) {
            m.beginRow(finding.severity == model::Severity::Error ? "finding error" : "finding warning");
            m.severityCell(finding.severity);
            m.beginCell();
            tableReference(finding.place);
            m.endCell();
            textCell(finding.message);
            m.endRow();
            handOn(false);
        }
        m.endGrid();
    }
    m.endSection();
}

} // namespace dictionary
