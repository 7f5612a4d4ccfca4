#pragma once

// The readable dictionaries, Markdown and HTML: one layout says what the
// document shows, block by block (the sections, the facts, the grids of
// fields, tags, relations and findings, and what goes in each cell); a
// Markup says how each block and each piece of text is written in its format.

#include "export/dictionary/diagram.h"
#include "export/dictionary/documentwriter.h"
#include "model/coverage.h"

#include <initializer_list>
#include <string>
#include <string_view>

namespace dictionary {

// How one format writes the blocks of a readable document, as UTF-8 bytes
// appended to out(). Text from the files goes only through text() and
// code(), which clean and escape it; what the layout passes as a word is
// ours and holds nothing to escape.
class Markup {
public:
    virtual ~Markup() = default;

    enum class Section { Contents, Part, Table, View };
    struct Column {
        const char *title;
        bool number;
    };

    // The document's start (its title, up to the source's facts), the end of
    // its header, the start of its body (the tables section) and its end.
    virtual void beginDocument(const QString &path) = 0;
    virtual void endHeader() = 0;
    virtual void beginBody() = 0;
    virtual void endDocument() = 0;

    // A section with its id, at heading level `level`; its title follows as
    // text, up to endTitle().
    virtual void beginSection(Section kind, std::string_view anchor, int level) = 0;
    virtual void endTitle() = 0;
    virtual void endSection() = 0;
    virtual void heading(int level, std::string_view title) = 0;

    virtual void beginParagraph() = 0;
    virtual void endParagraph() = 0;
    // A comment of the source, a table or a view, as its own paragraph.
    virtual void comment(const QString &text) = 0;
    // A sentence that says a block has nothing to show.
    virtual void none(std::string_view sentence) = 0;
    virtual void codeBlock(const QString &text, std::string_view language) = 0;
    // A diagram, its elements' ids starting with `id`, each box leading to
    // `link` of it; whether each table's section shows its own.
    virtual void diagram(const Diagram &diagram, std::string_view id,
                         const std::function<std::string(const DiagramBox &)> &link) = 0;
    virtual bool drawsEachTable() const = 0;

    // Labelled facts. Whether the box of a table's facts also holds its
    // triggers; if not, they follow the comment and the rule as facts of
    // their own.
    virtual bool factsHoldTriggers() const = 0;
    virtual void beginFacts() = 0;
    virtual void beginFact(std::string_view label) = 0;
    virtual void endFact() = 0;
    virtual void endFacts() = 0;

    // A list of items, each of which may hold a list.
    virtual void beginList() = 0;
    virtual void beginItem() = 0;
    virtual void endItem() = 0;
    virtual void endList() = 0;

    // A grid: `name` says what it lists, for the formats that style it.
    virtual void beginGrid(std::string_view name, std::initializer_list<Column> columns) = 0;
    virtual void beginRow(std::string_view kind = {}) = 0;
    virtual void beginCell(bool number = false) = 0;
    virtual void endCell() = 0;
    virtual void severityCell(model::Severity severity) = 0;
    virtual void endRow() = 0;
    virtual void endGrid() = 0;

    // Pieces of text.
    virtual void text(const QString &text) = 0;
    virtual void code(const QString &text) = 0;
    virtual void word(std::string_view word) = 0;
    virtual void strong(std::string_view word) = 0;
    virtual void link(const QString &text, std::string_view anchor) = 0;
    virtual void lineBreak() = 0;
    // How much is documented, as a bar where the format draws one.
    virtual void coverageBar(int percent) = 0;
    void number(qint64 value);

    std::string &out() { return m_out; }

private:
    std::string m_out;
};

std::unique_ptr<Markup> markdownMarkup();
std::unique_ptr<Markup> htmlMarkup();

// The layout of a readable dictionary over a format's markup: the outline
// kept for the contents, the anchors and each table's relations, each table
// put in its place among the outline's, and the document handed on a block
// at a time.
class ReadableWriter : public DocumentWriter {
public:
    ReadableWriter(std::unique_ptr<Markup> markup, const DictionarySink &sink);

    bool needsOutline() const override { return true; }
    // The coverage and the implied relations need every table first, and
    // the diagrams, when there are relations to draw, every table again.
    bool plansFirst() const override { return true; }
    void plan(const model::TableModel &table) override;
    void planned(const model::SourceModel &rest) override;
    bool plansAgain() const override { return m_drawn; }
    void planAgain(const model::TableModel &table) override;
    void begin(const model::SourceOutline &outline) override;
    void table(const model::TableModel &table) override;
    void end(const model::SourceModel &rest) override;

private:
    void handOn(bool all);
    void tableSection(qsizetype index, const model::TableModel &table);
    void fieldsBlock(const model::TableModel &table);
    void indexesBlock(const model::TableModel &table);
    void relationsBlock(qsizetype index, bool implied);
    void diagramSection();
    std::string boxLink(const DiagramBox &box) const;
    void viewSection(qsizetype index, const model::ViewModel &view);
    void findingsSection();
    void textCell(const QString &text);
    void tableReference(const QString &name);
    void withMessage(const QString &rule, const QString &message);
    void contentsItem(const QString &name, std::string_view anchor);
    void coverageText(const model::Coverage &coverage);

    std::unique_ptr<Markup> m_markup;
    Markup &m;
    DictionarySink m_sink;
    // Of the outline, only what the later parts need: a source's facts and
    // its tables' empty models are not held through the whole reading.
    QStringList m_tables;
    QList<model::ViewModel> m_views;
    QList<model::RelationModel> m_relations;
    QList<model::RelationModel> m_impliedRelations;
    // By table (its place in the outline): the relations it takes part in.
    QHash<qsizetype, QList<qsizetype>> m_relationsOf;
    QHash<qsizetype, QList<qsizetype>> m_impliedRelationsOf;
    DiagramTables m_diagrams; // only when drawn
    bool m_drawn = false; // some relation, declared or implied: the diagrams are drawn
    qsizetype m_edgesDrawn = 0; // by the tables' own diagrams so far
    model::Coverage m_coverage; // of every table, from their planning
    QList<model::Finding> m_findings;
    SectionAnchors m_anchors;
    OutlinePlaces m_places;
};

} // namespace dictionary
