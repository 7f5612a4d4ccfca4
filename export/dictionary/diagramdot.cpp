#include "export/dictionary/diagram.h"

#include "export/dictionary/dictionarytext.h"

namespace dictionary {

namespace {

constexpr const char *HeaderColour = "#dbe4ee";
constexpr const char *FocusColour = "#b9cde3";
constexpr const char *ImpliedColour = "#7a7a7a";

void put(std::string &out, std::initializer_list<std::string_view> pieces)
{
    for (const std::string_view piece : pieces)
        out.append(piece);
}

void html(std::string &out, const QString &text)
{
    appendGraphvizHtml(out, text);
}

void quoted(std::string &out, const QString &text)
{
    out += '"';
    appendGraphvizText(out, text);
    out += '"';
}

std::string marks(const DiagramRow &row)
{
    std::string marks;
    if (row.key)
        marks += row.primary ? "PK" : "CK";
    if (row.foreign)
        marks += marks.empty() ? "FK" : " FK";
    return marks;
}

void box(std::string &out, const DiagramBox &box, qsizetype index, std::string_view id,
         const std::function<std::string(const DiagramBox &)> &link)
{
    const std::string number = std::to_string(index);
    put(out, {"  \"", id, "-t", number, "\" [id=\"", id, "-t", number, "\", tooltip="});
    quoted(out, box.table);
    if (link) {
        out += ", href=\"";
        out += link(box); // an anchor of ASCII letters, digits and dashes
        out += '"';
    }
    out += ", label=<<TABLE BORDER=\"0\" CELLBORDER=\"1\" CELLSPACING=\"0\" CELLPADDING=\"3\" BGCOLOR=\"white\">";
    out += "<TR><TD COLSPAN=\"3\" BGCOLOR=\"";
    out += box.focus ? FocusColour : HeaderColour;
    out += "\"><B>";
    html(out, nameOrPlaceholder(box.table));
    out += "</B></TD></TR>";
    for (qsizetype r = 0; r < box.rows.size(); ++r) {
        const DiagramRow &row = box.rows[r];
        put(out, {"<TR><TD PORT=\"r", std::to_string(r), "\" ALIGN=\"LEFT\">"});
        html(out, row.name);
        out += "</TD><TD ALIGN=\"LEFT\">";
        html(out, row.type);
        put(out, {"</TD><TD PORT=\"r", std::to_string(r), "e\">", marks(row), "</TD></TR>"});
    }
    if (box.rowsLeftOut > 0) {
        put(out, {"<TR><TD COLSPAN=\"3\" ALIGN=\"LEFT\"><I>", std::to_string(box.rowsLeftOut),
                  box.rowsLeftOut == 1 ? " more field" : " more fields", "</I></TD></TR>"});
    }
    out += "</TABLE>>];\n";
}

// A child leaves its row from its last cell to the right ("rNe"), a parent
// takes it into its first from the left ("rN").
void end(std::string &out, std::string_view id, qsizetype box, qsizetype row, std::string_view side)
{
    put(out, {"\"", id, "-t", std::to_string(box), "\""});
    if (row >= 0)
        put(out, {":r", std::to_string(row), side});
}

} // namespace

QByteArray dotSource(const Diagram &diagram, std::string_view id,
                     const std::function<std::string(const DiagramBox &)> &link)
{
    std::string out;
    put(out, {"digraph \"", id, "\" {\n  graph [id=\"", id,
              "\", rankdir=LR, fontname=\"Helvetica\", fontsize=10, nodesep=0.25, ranksep=0.7,"
              // Fewer rounds of ranking and placing: a diagram of hundreds of
              // tables is laid out in a fraction of the time, nearly as well.
              " nslimit=2, nslimit1=2];\n"});
    if (!diagram.leftOut.isEmpty()) {
        out += "  graph [label=";
        quoted(out, diagram.leftOut);
        out += "];\n";
    }
    out += "  node [shape=plain, fontname=\"Helvetica\", fontsize=10];\n";
    out += "  edge [fontname=\"Helvetica\", fontsize=9, color=\"#34495e\", arrowsize=0.7];\n";
    std::string apart;
    for (qsizetype b = 0; b < diagram.boxes.size(); ++b) {
        const DiagramBox &shown = diagram.boxes[b];
        if (diagram.groupUnrelated && !shown.related)
            box(apart, shown, b, id, link);
        else
            box(out, shown, b, id, link);
    }
    if (!apart.empty()) {
        // Its own id: a subgraph takes the graph's otherwise.
        put(out, {"  subgraph \"cluster_", id, "_unrelated\" {\n    id=\"", id, "-unrelated\";\n"});
        out += "    label=\"Tables without relations\"; style=dashed; color=\"#9a9a9a\"; fontcolor=\"#555555\";\n";
        out += apart;
        out += "  }\n";
    }
    for (qsizetype e = 0; e < diagram.edges.size(); ++e) {
        const DiagramEdge &edge = diagram.edges[e];
        out += "  ";
        end(out, id, edge.child, edge.childRow, "e:e");
        out += " -> ";
        end(out, id, edge.parent, edge.parentRow, ":w");
        put(out, {" [id=\"", id, "-e", std::to_string(e), "\", tooltip="});
        quoted(out, edge.title);
        // Placed once the layout is made, not as a node of its own within it,
        // which would slow the layout of many relations several times.
        out += ", xlabel=<";
        html(out, edge.label);
        out += '>';
        if (edge.implied) {
            out += ", style=dashed, color=\"";
            out += ImpliedColour;
            out += "\", fontcolor=\"";
            out += ImpliedColour;
            out += '"';
        }
        out += "];\n";
    }
    out += "}\n";
    return QByteArray::fromStdString(out);
}

} // namespace dictionary
