#include "export/dictionary/dictionary.h"
#include "export/dictionary/graphviz.h"
#include "export/dictionary/readable.h"

#include <vector>

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
div.diagram { overflow-x: auto; margin: .4rem 0 1rem; }
meter.coverage { width: 4rem; height: .8rem; vertical-align: middle; }
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


class HtmlMarkup : public Markup {
public:
    void beginDocument(const QString &path) override
    {
        out() += "<!DOCTYPE html>\n"
                 "<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\" xml:lang=\"en\">\n"
                 "<head>\n"
                 "<meta charset=\"utf-8\" />\n"
                 "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\" />\n"
                 "<title>Data dictionary of ";
        appendHtmlText(out(), path, " ");
        out() += "</title>\n<style>";
        out() += style;
        out() += "</style>\n</head>\n<body>\n<header>\n<h1>Data dictionary</h1>\n";
    }
    void endHeader() override { out() += "</header>\n"; }
    void beginBody() override { out() += "<main>\n"; }
    void endDocument() override { out() += "</main>\n</body>\n</html>\n"; }

    void beginSection(Section kind, std::string_view anchor, int level) override
    {
        m_sections.push_back(kind);
        m_titleLevel = level;
        out() += kind == Section::Contents ? "<nav"
            : kind == Section::Table       ? "<section class=\"table\""
            : kind == Section::View        ? "<section class=\"view\""
                                           : "<section";
        out() += " id=\"";
        out() += anchor;
        out() += "\">\n<h";
        out() += char('0' + level);
        out() += '>';
    }
    void endTitle() override
    {
        out() += "</h";
        out() += char('0' + m_titleLevel);
        out() += ">\n";
    }
    void endSection() override
    {
        out() += m_sections.back() == Section::Contents ? "</nav>\n" : "</section>\n";
        m_sections.pop_back();
    }
    void heading(int level, std::string_view title) override
    {
        out() += "<h";
        out() += char('0' + level);
        out() += '>';
        out() += title;
        out() += "</h";
        out() += char('0' + level);
        out() += ">\n";
    }

    void beginParagraph() override { out() += "<p>"; }
    void endParagraph() override { out() += "</p>\n"; }
    void comment(const QString &text) override
    {
        out() += "<p class=\"comment\">";
        this->text(text);
        out() += "</p>\n";
    }
    void none(std::string_view sentence) override
    {
        out() += "<p class=\"none\">";
        out() += sentence;
        out() += "</p>\n";
    }
    // Laid out by Graphviz, inline: the page stays one file with no script.
    void diagram(const Diagram &diagram, std::string_view id,
                 const std::function<std::string(const DiagramBox &)> &link) override
    {
        if (!diagram.leftOut.isEmpty()) {
            out() += "<p class=\"none\">";
            appendHtmlText(out(), diagram.leftOut, " ");
            out() += "</p>\n";
            return;
        }
        out() += "<div class=\"diagram\">\n";
        out() += inlineSvg(graphvizSvg(dotSource(diagram, id, link))).toStdString();
        out() += "</div>\n";
    }
    bool drawsEachTable() const override { return true; }
    void coverageBar(int percent) override
    {
        out() += "<meter class=\"coverage\" min=\"0\" max=\"100\" value=\"";
        out() += std::to_string(percent);
        out() += "\"></meter> ";
    }
    void codeBlock(const QString &text, std::string_view language) override
    {
        out() += "<pre class=\"";
        out() += language;
        out() += "\"><code>";
        appendHtmlText(out(), text, "\n");
        out() += "</code></pre>\n";
    }

    bool factsHoldTriggers() const override { return true; }
    void beginFacts() override { out() += "<dl class=\"facts\">\n"; }
    void beginFact(std::string_view label) override
    {
        out() += "<div><dt>";
        out() += label;
        out() += "</dt><dd>";
    }
    void endFact() override { out() += "</dd></div>\n"; }
    void endFacts() override { out() += "</dl>\n"; }

    void beginList() override { out() += m_depth++ > 0 ? "\n<ul>\n" : "<ul>\n"; }
    void beginItem() override { out() += "<li>"; }
    void endItem() override { out() += "</li>\n"; }
    void endList() override
    {
        --m_depth;
        out() += "</ul>\n";
    }

    void beginGrid(std::string_view name, std::initializer_list<Column> columns) override
    {
        out() += "<table class=\"";
        out() += name;
        out() += "\">\n<thead><tr>";
        for (const Column &column : columns) {
            out() += column.number ? "<th class=\"number\">" : "<th>";
            out() += column.title;
            out() += "</th>";
        }
        out() += "</tr></thead>\n<tbody>\n";
    }
    void beginRow(std::string_view kind) override
    {
        if (kind.empty()) {
            out() += "<tr>";
            return;
        }
        out() += "<tr class=\"";
        out() += kind;
        out() += "\">";
    }
    void beginCell(bool number) override { out() += number ? "<td class=\"number\">" : "<td>"; }
    void endCell() override { out() += "</td>"; }
    void severityCell(model::Severity severity) override
    {
        out() += severity == model::Severity::Error ? "<td class=\"severity\">Error</td>"
                                                    : "<td class=\"severity\">Warning</td>";
    }
    void endRow() override { out() += "</tr>\n"; }
    void endGrid() override { out() += "</tbody>\n</table>\n"; }

    void text(const QString &text) override { appendHtmlText(out(), text, "<br />"); }
    void code(const QString &text) override
    {
        if (text.isEmpty())
            return;
        out() += "<code>";
        this->text(text);
        out() += "</code>";
    }
    void word(std::string_view word) override { out() += word; }
    void strong(std::string_view word) override
    {
        out() += "<strong>";
        out() += word;
        out() += "</strong>";
    }
    void link(const QString &text, std::string_view anchor) override
    {
        out() += "<a href=\"#";
        out() += anchor;
        out() += "\">";
        this->text(text);
        out() += "</a>";
    }
    void lineBreak() override { out() += "<br />"; }

private:
    std::vector<Section> m_sections;
    int m_titleLevel = 0;
    int m_depth = 0;
};

} // namespace

std::unique_ptr<Markup> htmlMarkup()
{
    return std::make_unique<HtmlMarkup>();
}

std::unique_ptr<DocumentWriter> htmlDocumentWriter(const DictionarySink &sink)
{
    return std::make_unique<ReadableWriter>(htmlMarkup(), sink);
}

QByteArray htmlDictionary(const model::SourceModel &source)
{
    return wholeDocument(DictionaryFormat::Html, source);
}

} // namespace dictionary
