#pragma once

// What the JSON, Markdown and HTML dictionaries share: the words they write
// for the model's values, the anchors of the table and view sections, and
// text from the files made safe to show.

#include "model/sourcemodel.h"
#include "platform/texthash.h"


#include <QString>
#include <QStringList>
#include <QStringView>

#include <string>
#include <string_view>
#include <vector>

namespace dictionary {

// The text with each unpaired surrogate replaced by U+FFFD: UTF-8 cannot
// carry one, and many JSON readers refuse one written as an escape.
QString pairedText(QStringView text);

// Text from the files, cleaned of controls (platform::Lines) and escaped, as
// UTF-8. Its lines end with CR LF, CR or LF; each is written as the format
// breaks a line.
// - Markdown paragraph, cell, heading or link text: everything that could
//   open a column, a link, emphasis or raw HTML escaped, line breaks as <br>,
//   so it never starts a line of its own.
void appendMarkdownText(std::string &out, const QString &text);
QString markdownText(QStringView text);
// - HTML (or XML) element or quoted attribute: `lineBreak` between lines
//   ("<br />" in an element, "\n" in a <pre>, " " in the title).
void appendHtmlText(std::string &out, const QString &text, std::string_view lineBreak);
QString htmlText(QStringView text); // lines ended by "\n"
// - Inside a Graphviz quoted string (a tooltip, a plain label): quotes and
//   backslashes escaped as Graphviz reads them, lines joined by spaces.
void appendGraphvizText(std::string &out, const QString &text);
// - Inside a Graphviz HTML-like label: as HTML, backslashes escaped as
//   Graphviz reads them, lines joined by spaces.
void appendGraphvizHtml(std::string &out, const QString &text);
// - Inside a Markdown code fence: nothing escaped, lines ended by "\n".
void appendPlainLines(std::string &out, const QString &text);

// The lines of the text; CR LF, CR and LF each end one.
QStringList textLines(QStringView text);

// "primary", "candidate", "unique", "regular".
QString tagKindWord(model::TagKind kind);
// "warning", "error".
QString severityWord(model::Severity severity);

// The index of the table a relation or a finding names: the one spelled the
// same, else the first equal but for case (FoxPro's names ignore case); -1
// when none or when the name is empty. Looked up, not searched, as every
// finding of thousands of tables asks.
class TableLookup {
public:
    TableLookup() = default;
    explicit TableLookup(const QStringList &names);
    qsizetype operator()(const QString &name) const;

private:
    QStringList m_names;
    platform::HashedMap<QString, qsizetype> m_exact;
    // Made when a name is first not found as spelt: most lookups find theirs.
    mutable platform::HashedMap<QString, qsizetype> m_folded;
};

// Section anchors: "table-<n>-<name in lower-case ASCII letters and digits>"
// and "view-<n>-…", n counting from 1, so names equal but for case, or with
// no ASCII letter at all, still get ids of their own; and the table a name
// names.
struct SectionAnchors {
    std::vector<std::string> tables; // ASCII
    std::vector<std::string> views;
    TableLookup tableNamed;
};
SectionAnchors sectionAnchors(const QStringList &tables, const QList<model::ViewModel> &views);

// Where each table handed to a writer stands among an outline's tables: the
// next one of its name from where the last was found; -1 when there is none
// (a table the outline did not foresee, as its file changed meanwhile).
class OutlinePlaces {
public:
    qsizetype next(const QStringList &tables, const QString &name);

private:
    qsizetype m_next = 0;
};

// The words both readable dictionaries write for a model's values.
QString typeText(const model::FieldModel &field); // "Integer, autoincrement (next 5, step 1)"
QString memoText(const model::TableModel &table); // "customers.fpt, blocks of 64 bytes"
QString isoLastUpdate(const model::TableModel &table); // "2024-01-05"; empty when none
QString lastUpdateText(const model::TableModel &table);   // the same, "not a date" when none
QString orderText(const model::IndexModel &index); // "ascending, MACHINE"
QString sourceKindText(const model::SourceModel &source);
QString nameOrPlaceholder(const QString &name); // "(no name)" for an empty one

// The lines of a field's description column: its comment, its rule with the
// rule's message, its format and its input mask. `plain` and `code` escape
// text for the format; `withMessage` adds a rule's message as the format
// shows it.
template <class Plain, class Code, class WithMessage>
QStringList fieldDescriptionLines(const model::FieldModel &field, Plain plain, Code code, WithMessage withMessage)
{
    QStringList lines;
    if (!field.comment.isEmpty())
        lines.append(plain(field.comment));
    if (!field.rule.isEmpty())
        lines.append(QStringLiteral("Rule: ") + withMessage(code(field.rule), field.ruleText));
    if (!field.format.isEmpty())
        lines.append(QStringLiteral("Format: ") + code(field.format));
    if (!field.inputMask.isEmpty())
        lines.append(QStringLiteral("Input mask: ") + code(field.inputMask));
    return lines;
}

} // namespace dictionary
