#pragma once

// Diagrams of a source's tables and relations: tables as boxes listing their
// fields (key and foreign-key fields marked), relations as edges from child to
// parent, implied ones apart. What a diagram shows is decided here, once; the
// Graphviz source (dot), its layout as SVG (graphviz.h) and Mermaid write it.
//
// An overview shows every table with every field up to OverviewAllTables
// tables, the tables that no relation reaches grouped apart. A larger source's
// overview shows only the tables a relation reaches, each with only its key
// and foreign-key fields, and none at all past OverviewMostTables of those: no
// layout of thousands of boxes can be read. A table's own diagram shows it with
// every field and its direct neighbours with the fields that join them. No
// diagram draws more than DiagramMostEdges relations: none could be read, and
// laying them out takes time far beyond their number. The tables' own diagrams
// on one page draw no more than PageMostEdges together.

#include "model/sourcemodel.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace dictionary {

inline constexpr qsizetype OverviewAllTables = 100;
inline constexpr qsizetype OverviewMostTables = 500;
inline constexpr qsizetype DiagramMostEdges = 500;
inline constexpr qsizetype PageMostEdges = 5000;

struct DiagramRow {
    QString name;
    QString type; // "Character(40)", "Numeric(10,2)", "Integer", …
    bool key = false;     // the field of a one-field primary or candidate key
    bool primary = false; // of the primary key
    bool foreign = false; // the child's field of a relation
};

struct DiagramBox {
    QString table;
    QList<DiagramRow> rows;
    qsizetype rowsLeftOut = 0; // fields not shown
    bool related = false;      // some relation reaches it
    bool focus = false;        // the table a table's own diagram is about
};

struct DiagramEdge {
    qsizetype child = 0;  // boxes
    qsizetype parent = 0;
    qsizetype childRow = -1; // the rows they join, -1 when not shown
    qsizetype parentRow = -1;
    bool implied = false;
    QString label; // "CUSTID → CUSTID", or "implied: custid"
    QString title; // the relation in full, with its referential-integrity rules
};

struct Diagram {
    QList<DiagramBox> boxes;
    QList<DiagramEdge> edges;
    bool groupUnrelated = false; // the unrelated tables drawn apart
    // Empty; else why there is no diagram (a sentence).
    QString leftOut;
};

// What the diagrams of one source need, kept from its tables as they are read
// (their names, the fields that may take part in a relation, and every field
// while the tables are few enough for the overview to show them), so a source
// is never held whole.
class DiagramTables {
public:
    DiagramTables();
    ~DiagramTables();
    DiagramTables(DiagramTables &&) noexcept;
    DiagramTables &operator=(DiagramTables &&) noexcept;

    void add(const model::TableModel &table);
    // The relations among the tables added, once they all are.
    void relate(const QList<model::RelationModel> &declared, const QList<model::RelationModel> &implied);

    Diagram overview() const;
    // `table` with every field, and the tables it relates to, or that relate
    // to it, with their joining fields. No diagram when no relation reaches it.
    std::optional<Diagram> around(const model::TableModel &table) const;

private:
    struct Kept;
    std::unique_ptr<Kept> m_kept;
};

// The Graphviz source of a diagram, laid out left to right, child to parent.
// `id` starts every id its SVG gives an element, so that several diagrams
// share a page; `link`, when given, is where a box leads ("#section").
QByteArray dotSource(const Diagram &diagram, std::string_view id,
                     const std::function<std::string(const DiagramBox &)> &link = {});

// The diagram as a Mermaid erDiagram (what GitHub draws in Markdown), its
// lines indented by four spaces so no line can close the fence around it.
// Names become identifiers Mermaid takes from version 10.5 on (ASCII letters,
// digits and underscores, never a word of its own), each table keeping its
// name as a quoted label; text from the files can end no string and open no
// comment or directive. Fields show only their keys and foreign keys when the
// whole would pass the size Mermaid draws; none when even that would.
inline constexpr qsizetype MermaidMostCharacters = 50000;
QByteArray mermaidSource(const Diagram &diagram);

} // namespace dictionary
