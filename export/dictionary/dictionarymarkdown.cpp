#include "export/dictionary/dictionary.h"
#include "export/dictionary/readable.h"

// CommonMark with GitHub's tables. Text from the files is escaped wherever it
// goes (cells, headings, link texts, paragraphs), so a name cannot open a
// column, a link, emphasis or raw HTML; its line breaks become <br>, so it
// never starts a line of its own. The only raw HTML is ours: the section
// anchors, which do not depend on a renderer's way of naming headings.

namespace dictionary {

namespace {

class MarkdownMarkup : public Markup {
public:
    void beginDocument(const QString &) override
    {
        block();
        out() += "# Data dictionary";
        endLine();
    }
    void endHeader() override {}
    void beginBody() override {}
    void endDocument() override {}

    void beginSection(Section, std::string_view anchor, int level) override
    {
        block();
        out().append(size_t(level), '#');
        out() += " <a id=\"";
        out() += anchor;
        out() += "\"></a>";
    }
    void endTitle() override { endLine(); }
    void endSection() override {}
    void heading(int level, std::string_view title) override
    {
        block();
        out().append(size_t(level), '#');
        out() += ' ';
        out() += title;
        endLine();
    }

    void beginParagraph() override { block(); }
    void endParagraph() override { endLine(); }
    void comment(const QString &text) override
    {
        beginParagraph();
        out() += "**Comment:** ";
        this->text(text);
        endParagraph();
    }
    void none(std::string_view sentence) override
    {
        block();
        out() += sentence;
        endLine();
    }
    // A Mermaid block, which GitHub draws; the overview only, as a diagram
    // for every table would outweigh the text.
    void diagram(const Diagram &diagram, std::string_view, const std::function<std::string(const DiagramBox &)> &) override
    {
        const QByteArray source = diagram.leftOut.isEmpty() ? mermaidSource(diagram) : QByteArray();
        if (source.isEmpty()) {
            none(diagram.leftOut.isEmpty() ? "No diagram: it would be larger than Mermaid draws."
                                           : diagram.leftOut.toStdString());
            return;
        }
        block();
        out() += "```mermaid\n";
        out().append(source.constData(), size_t(source.size()));
        out() += "```";
        endLine();
    }
    bool drawsEachTable() const override { return false; }
    void coverageBar(int) override {}
    // Fenced by more backticks than any run in the text, so no line of it
    // closes the block.
    void codeBlock(const QString &text, std::string_view language) override
    {
        qsizetype longest = 0;
        qsizetype run = 0;
        for (const QChar c : text) {
            run = c == u'`' ? run + 1 : 0;
            longest = qMax(longest, run);
        }
        const std::string fence(size_t(qMax<qsizetype>(3, longest + 1)), '`');
        block();
        out() += fence;
        out() += language;
        out() += '\n';
        appendPlainLines(out(), text);
        out() += '\n';
        out() += fence;
        endLine();
    }

    // A line of facts; the triggers make one of their own.
    bool factsHoldTriggers() const override { return false; }
    void beginFacts() override
    {
        block();
        m_facts = 0;
    }
    void beginFact(std::string_view label) override
    {
        if (m_facts++ > 0)
            out() += " · ";
        out() += "**";
        out() += label;
        out() += ":** ";
    }
    void endFact() override {}
    void endFacts() override { endLine(); }

    void beginList() override
    {
        if (m_depth == 0)
            block();
        else if (!m_itemEnded)
            out() += '\n';
        m_itemEnded = true;
        ++m_depth;
    }
    void beginItem() override
    {
        out().append(size_t(2 * (m_depth - 1)), ' ');
        out() += "- ";
        m_itemEnded = false;
    }
    void endItem() override
    {
        if (!m_itemEnded)
            out() += '\n';
        m_itemEnded = true;
    }
    void endList() override
    {
        if (--m_depth == 0)
            m_blank = true;
    }

    void beginGrid(std::string_view, std::initializer_list<Column> columns) override
    {
        block();
        for (const Column &column : columns) {
            out() += "| ";
            out() += column.title;
            out() += ' ';
        }
        out() += "|\n";
        for (const Column &column : columns)
            out() += column.number ? "|---:" : "|---";
        out() += "|\n";
    }
    void beginRow(std::string_view) override
    {
        out() += "| ";
        m_cells = 0;
    }
    void beginCell(bool) override
    {
        if (m_cells++ > 0)
            out() += " | ";
    }
    void endCell() override {}
    void severityCell(model::Severity severity) override
    {
        beginCell(false);
        strong(severity == model::Severity::Error ? "Error" : "Warning");
    }
    void endRow() override { out() += " |\n"; }
    void endGrid() override { m_blank = true; }

    // Code is marked as code nowhere in the Markdown: escaped text reads the
    // same in any renderer, where backticks would need their own escaping.
    void text(const QString &text) override { appendMarkdownText(out(), text); }
    void code(const QString &text) override { appendMarkdownText(out(), text); }
    void word(std::string_view word) override { out() += word; }
    void strong(std::string_view word) override
    {
        out() += "**";
        out() += word;
        out() += "**";
    }
    void link(const QString &text, std::string_view anchor) override
    {
        out() += '[';
        appendMarkdownText(out(), text);
        out() += "](#";
        out() += anchor;
        out() += ')';
    }
    void lineBreak() override { out() += "<br>"; }

private:
    // Blocks are set apart by a blank line; the document ends with the last
    // block's line.
    void block()
    {
        if (m_blank)
            out() += '\n';
        m_blank = false;
    }
    void endLine()
    {
        out() += '\n';
        m_blank = true;
    }

    bool m_blank = false;
    int m_facts = 0;
    int m_cells = 0;
    int m_depth = 0;
    bool m_itemEnded = true;
};

} // namespace

std::unique_ptr<Markup> markdownMarkup()
{
    return std::make_unique<MarkdownMarkup>();
}

std::unique_ptr<DocumentWriter> markdownDocumentWriter(const DictionarySink &sink)
{
    return std::make_unique<ReadableWriter>(markdownMarkup(), sink);
}

QByteArray markdownDictionary(const model::SourceModel &source)
{
    return wholeDocument(DictionaryFormat::Markdown, source);
}

} // namespace dictionary
