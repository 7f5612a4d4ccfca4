#include "export/diff/structurediff.h"

#include "export/dictionary/dictionarytext.h"
#include "platform/cleantext.h"

#include <QStringList>

// The text, Markdown and HTML forms of a structure difference say the same
// sentences; only the way a name, a value or an expression is marked up
// differs. Every piece of text from the files is first made one line (every
// control character, line and paragraph separators too, becomes a space), so
// it can neither start a line of its own nor leave the item it belongs to.

namespace diff {

namespace {

QString oneLine(QStringView text)
{
    return platform::cleanText(text.toString(), platform::OneLine);
}

// Strong emphasis in Markdown: a delimiter run next to white space opens or
// closes nothing, so white space at either end of the name is written as a
// character reference.
QString markdownStrong(const QString &s)
{
    QString text = dictionary::markdownText(s);
    qsizetype first = 0;
    while (first < text.size() && text.at(first).isSpace())
        ++first;
    qsizetype last = text.size();
    while (last > first && text.at(last - 1).isSpace())
        --last;
    const auto references = [](QStringView spaces) {
        QString written;
        for (const QChar c : spaces)
            written += QStringLiteral("&#x%1;").arg(uint(c.unicode()), 0, 16);
        return written;
    };
    return QStringLiteral("**") + references(QStringView(text).first(first)) + text.sliced(first, last - first)
        + references(QStringView(text).sliced(last)) + QStringLiteral("**");
}

// How each kind of piece is marked up, from text already made one line: a
// name; other text escaped, then written plain, quoted or as code.
struct Markup {
    struct Wrap {
        const char *before;
        const char *after;
    };
    QString (*name)(const QString &);
    QString (*escape)(QStringView);
    Wrap quotes;
    Wrap codes;
    const char *arrow;

    QString plain(const QString &s) const { return escape(s); }
    QString quoted(const QString &s) const { return wrapped(quotes, s); }
    QString code(const QString &s) const { return wrapped(codes, s); }
    QString wrapped(Wrap wrap, const QString &s) const
    {
        return QLatin1String(wrap.before) + escape(s) + QLatin1String(wrap.after);
    }
};

const Markup textMarkup{
    [](const QString &s) { return s; },
    [](QStringView s) { return s.toString(); },
    {"\"", "\""},
    {"", ""},
    " -> ",
};

const Markup markdownMarkup{
    markdownStrong,
    dictionary::markdownText,
    {"\"", "\""},
    {"", ""},
    " → ",
};

const Markup htmlMarkup{
    [](const QString &s) { return QStringLiteral("<strong>") + dictionary::htmlText(s) + QStringLiteral("</strong>"); },
    dictionary::htmlText,
    {"\"", "\""},
    {"<code>", "</code>"},
    " → ",
};

// A sentence in pieces: text already marked up, and values taken from the
// files, marked up only as they are written, a part at a time, since one
// value (a comment, a rule) may be larger than all the rest together.
class Sentence {
public:
    struct Piece {
        QString text;           // marked up; or, with a wrap, the value as it is
        const Markup::Wrap *wrap = nullptr;
    };

    Sentence() = default;
    Sentence(const QString &text) { m_pieces.append({text, nullptr}); }
    static Sentence value(const QString &text, const Markup::Wrap &wrap)
    {
        Sentence sentence;
        sentence.m_pieces.append({text, &wrap});
        return sentence;
    }

    Sentence &operator+=(const Sentence &other)
    {
        m_pieces += other.m_pieces;
        return *this;
    }
    friend Sentence operator+(Sentence a, const Sentence &b) { return a += b; }
    friend Sentence operator+(Sentence a, const QString &b) { return a += Sentence(b); }
    friend Sentence operator+(const QString &a, const Sentence &b) { return Sentence(a) += b; }

    const QList<Piece> &pieces() const { return m_pieces; }

private:
    QList<Piece> m_pieces;
};

struct Line {
    ChangeKind kind;
    Sentence text;
};

struct Entry {
    Line head;
    QList<Line> details;
};

// The document's bytes as they are made, handed on a block at a time.
class Output {
public:
    explicit Output(const DiffSink &sink) : m_sink(sink) {}
    ~Output() = default;
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    void text(QStringView text)
    {
        m_block += text.toUtf8();
        if (m_block.size() >= blockSize)
            flush();
    }
    void text(QLatin1StringView text) { this->text(QString(text)); }
    // A sentence; its values made one line and escaped a part at a time.
    void sentence(const Sentence &sentence, const Markup &markup)
    {
        for (const Sentence::Piece &piece : sentence.pieces()) {
            if (!piece.wrap) {
                text(piece.text);
                continue;
            }
            text(QLatin1String(piece.wrap->before));
            const QStringView value(piece.text);
            for (qsizetype at = 0; at < value.size();) {
                qsizetype end = qMin(at + partSize, value.size());
                // A surrogate pair stays in one part.
                if (end < value.size() && value.at(end - 1).isHighSurrogate())
                    --end;
                text(markup.escape(oneLine(value.sliced(at, end - at))));
                at = end;
            }
            text(QLatin1String(piece.wrap->after));
        }
    }
    void flush()
    {
        if (!m_block.isEmpty())
            m_sink(m_block);
        m_block.clear();
    }

private:
    static constexpr qsizetype blockSize = 64 * 1024;
    static constexpr qsizetype partSize = 16 * 1024;
    const DiffSink &m_sink;
    QByteArray m_block;
};

struct Labels {
    const char *property;
    const char *label;
};

// The words a person uses for each property, in the JSON dictionary's order.
const Labels fieldLabels[] = {
    {"type", "type"}, {"width", "width"}, {"decimals", "decimals"}, {"nullable", "null values"},
    {"binary", "binary"}, {"autoIncrement", "autoincrement"}, {"step", "autoincrement step"},
    {"defaultValue", "default"}, {"rule", "validation rule"}, {"ruleText", "validation message"},
    {"caption", "caption"}, {"format", "format"}, {"inputMask", "input mask"}, {"comment", "comment"},
    {"dialect", "dialect"}, {"codePage", "code page"}, {"insertTrigger", "insert trigger"},
    {"updateTrigger", "update trigger"}, {"deleteTrigger", "delete trigger"}, {"primaryKey", "primary key"},
    {"expression", "key"}, {"filter", "filter"}, {"kind", "kind"}, {"descending", "descending"},
    {"collation", "collation"}, {"sql", "SQL"}, {"remote", "remote"}, {"connection", "connection"},
    {"fields", "fields"}, {"onUpdate", "on update"}, {"onDelete", "on delete"}, {"onInsert", "on insert"},
};

QString labelOf(const QString &property)
{
    for (const Labels &labels : fieldLabels) {
        if (property == QLatin1String(labels.property))
            return QString::fromLatin1(labels.label);
    }
    return property;
}

// Properties whose values are words or names rather than free text: shown unquoted.
bool isWord(const QString &property)
{
    static const QStringList words{"type", "kind", "dialect", "codePage", "collation", "primaryKey",
                                   "onUpdate", "onDelete", "onInsert"};
    return words.contains(property);
}

class Sentences {
public:
    explicit Sentences(const Markup &markup) : m(markup) {}

    QString name(const QString &name) const
    {
        return name.isEmpty() ? m.plain(QStringLiteral("(no name)")) : m.name(oneLine(name));
    }

    Sentence value(const ValueChange &change, const QString &value) const
    {
        switch (change.type) {
        case ValueChange::ValueType::Boolean:
            return value == QLatin1String("true") ? QStringLiteral("yes") : QStringLiteral("no");
        case ValueChange::ValueType::Number:
            return value;
        case ValueChange::ValueType::Text:
            break;
        }
        if (value.isEmpty())
            return m.plain(QStringLiteral("(none)"));
        static constexpr Markup::Wrap bare{"", ""};
        if (change.property == QLatin1String("expression") || change.property == QLatin1String("filter"))
            return Sentence::value(value, m.codes);
        return Sentence::value(value, isWord(change.property) ? bare : m.quotes);
    }

    // "width 10 -> 12"
    Sentence change(const ValueChange &change) const
    {
        return m.plain(labelOf(change.property)) + QStringLiteral(" ") + value(change, change.before)
            + QString::fromUtf8(m.arrow) + value(change, change.after);
    }

    // "Character(20)", "Numeric(10,2)", "Date": a width a user chooses is shown.
    QString shape(const model::FieldModel &field) const
    {
        QString shape = oneLine(field.typeName.isEmpty() ? QString(QChar(uchar(field.type))) : field.typeName);
        if (QByteArrayView("CVQNF").contains(field.type)) {
            shape += QLatin1Char('(') + QString::number(field.width);
            if (field.decimals > 0)
                shape += QLatin1Char(',') + QString::number(field.decimals);
            shape += QLatin1Char(')');
        }
        return m.plain(shape);
    }

    QList<Line> fieldLines(const FieldChange &change) const
    {
        const model::FieldModel &field = change.field;
        const QString position = QString::number(field.position);
        switch (change.kind) {
        case ChangeKind::Added:
            return {{change.kind, QStringLiteral("field ") + name(field.name) + QStringLiteral(" added (")
                                      + shape(field) + QStringLiteral(", position ") + position + QLatin1Char(')')}};
        case ChangeKind::Removed:
            return {{change.kind, QStringLiteral("field ") + name(field.name) + QStringLiteral(" removed (")
                                      + shape(field) + QStringLiteral(", position ") + position + QLatin1Char(')')}};
        case ChangeKind::Changed:
            break;
        }
        QList<Line> lines;
        if (change.renamed)
            lines.append({change.kind, QStringLiteral("field ") + name(change.before.name) + QStringLiteral(" renamed to ")
                                           + name(field.name) + QStringLiteral(" (possibly: same position ")
                                           + position + QStringLiteral(" and type)")});
        if (change.moved)
            lines.append({change.kind, QStringLiteral("field ") + name(field.name) + QStringLiteral(" moved from position ")
                                           + QString::number(change.before.position) + QStringLiteral(" to ") + position});
        for (const ValueChange &value : change.values)
            lines.append({change.kind, QStringLiteral("field ") + name(field.name) + QStringLiteral(": ") + this->change(value)});
        return lines;
    }

    QList<Line> tagLines(const TagChange &change) const
    {
        const model::IndexModel &tag = change.tag;
        const QString head = QStringLiteral("index tag ") + name(tag.name);
        switch (change.kind) {
        case ChangeKind::Added: {
            QString line = head + QStringLiteral(" added: ") + m.code(oneLine(tag.expression));
            if (!tag.filter.isEmpty())
                line += QStringLiteral(" for ") + m.code(oneLine(tag.filter));
            line += QStringLiteral(" (") + dictionary::tagKindWord(tag.kind)
                + (tag.descending ? QStringLiteral(", descending") : QString()) + QLatin1Char(')');
            return {{change.kind, line}};
        }
        case ChangeKind::Removed:
            return {{change.kind, head + QStringLiteral(" removed")}};
        case ChangeKind::Changed:
            break;
        }
        QList<Line> lines;
        for (const ValueChange &value : change.values)
            lines.append({change.kind, head + QStringLiteral(": ") + this->change(value)});
        return lines;
    }

    static QString countOf(int count, const char *one, const char *many)
    {
        return QString::number(count) + QLatin1Char(' ') + QLatin1String(count == 1 ? one : many);
    }

    Entry tableEntry(const TableChange &change) const
    {
        const QString head = QStringLiteral("Table ") + name(change.name);
        switch (change.kind) {
        case ChangeKind::Added:
            return {{change.kind, head + QStringLiteral(" added (") + countOf(change.fieldCount, "field", "fields") + QLatin1Char(')')}, {}};
        case ChangeKind::Removed:
            return {{change.kind, head + QStringLiteral(" removed (") + countOf(change.fieldCount, "field", "fields") + QLatin1Char(')')}, {}};
        case ChangeKind::Changed:
            break;
        }
        Entry entry{{change.kind, head + QStringLiteral(" changed:")}, {}};
        for (const ValueChange &value : change.values)
            entry.details.append({ChangeKind::Changed, this->change(value)});
        for (const FieldChange &field : change.fields)
            entry.details += fieldLines(field);
        if (change.tagsUnknownBefore || change.tagsUnknownAfter) {
            const QString which = change.tagsUnknownBefore && change.tagsUnknownAfter ? QStringLiteral("either side")
                : change.tagsUnknownBefore ? QStringLiteral("the old side") : QStringLiteral("the new side");
            entry.details.append({ChangeKind::Changed, QStringLiteral("index tags not compared: the structural index of ")
                                                            + which + QStringLiteral(" could not be read")});
        }
        for (const TagChange &tag : change.tags)
            entry.details += tagLines(tag);
        return entry;
    }

    Entry viewEntry(const ViewChange &change) const
    {
        const QString head = QStringLiteral("View ") + name(change.name);
        if (change.kind != ChangeKind::Changed)
            return {{change.kind, head + (change.kind == ChangeKind::Added ? QStringLiteral(" added") : QStringLiteral(" removed"))}, {}};
        Entry entry{{change.kind, head + QStringLiteral(" changed:")}, {}};
        for (const ValueChange &value : change.values)
            entry.details.append({ChangeKind::Changed, this->change(value)});
        return entry;
    }

    Entry relationEntry(const RelationChange &change) const
    {
        const model::RelationModel &relation = change.relation;
        QString head = QStringLiteral("Relation from ") + name(relation.parentTable) + QStringLiteral(" (tag ")
            + name(relation.parentTag) + QStringLiteral(") to ") + name(relation.childTable) + QStringLiteral(" (tag ")
            + name(relation.childTag) + QLatin1Char(')');
        switch (change.kind) {
        case ChangeKind::Added:
            return {{change.kind, head + QStringLiteral(" added")}, {}};
        case ChangeKind::Removed:
            return {{change.kind, head + QStringLiteral(" removed")}, {}};
        case ChangeKind::Changed:
            break;
        }
        Entry entry{{change.kind, head + QStringLiteral(" changed:")}, {}};
        for (const ValueChange &value : change.values)
            entry.details.append({ChangeKind::Changed, this->change(value)});
        return entry;
    }

    // "Table orders not compared (old/shop.dbc): Its file … is missing."
    // "Index tags of table orders not compared (old/shop.dbc): …"
    Entry notComparedEntry(const StructureDiff &diff, const NotCompared &table, const QString &what) const
    {
        const QString side = table.side == NotCompared::Side::Before ? diff.before : diff.after;
        return {{ChangeKind::Changed, what + name(table.table) + QStringLiteral(" not compared (")
                                          + m.code(oneLine(side)) + QStringLiteral("): ") + m.plain(oneLine(table.reason))},
                {}};
    }

    QList<Entry> entries(const StructureDiff &diff) const
    {
        QList<Entry> entries;
        for (const TableChange &change : diff.tables)
            entries.append(tableEntry(change));
        for (const ViewChange &change : diff.views)
            entries.append(viewEntry(change));
        for (const RelationChange &change : diff.relations)
            entries.append(relationEntry(change));
        for (const NotCompared &table : diff.notCompared)
            entries.append(notComparedEntry(diff, table, QStringLiteral("Table ")));
        for (const NotCompared &table : diff.tagsNotCompared)
            entries.append(notComparedEntry(diff, table, QStringLiteral("Index tags of table ")));
        return entries;
    }

    QString sides(const StructureDiff &diff) const
    {
        return QStringLiteral("from ") + m.code(oneLine(diff.before)) + QStringLiteral(" to ") + m.code(oneLine(diff.after));
    }

private:
    const Markup &m;
};

template <class Change>
QString groupCounts(const char *group, const QList<Change> &changes)
{
    int counts[3] = {0, 0, 0};
    for (const Change &change : changes)
        ++counts[int(change.kind)];
    QStringList parts;
    const char *words[3] = {"added", "removed", "changed"};
    for (int n = 0; n < 3; ++n) {
        if (counts[n] > 0)
            parts.append(QString::number(counts[n]) + QLatin1Char(' ') + QLatin1String(words[n]));
    }
    return parts.isEmpty() ? QString() : QLatin1String(group) + QLatin1Char(' ') + parts.join(QStringLiteral(", "));
}

// "In all: tables 1 added, 2 changed; views 1 removed; tables 1 not compared."
QString summary(const StructureDiff &diff)
{
    QStringList groups{groupCounts("tables", diff.tables), groupCounts("views", diff.views),
                       groupCounts("relations", diff.relations)};
    if (!diff.notCompared.isEmpty())
        groups.append(QStringLiteral("tables %1 not compared").arg(diff.notCompared.size()));
    if (!diff.tagsNotCompared.isEmpty())
        groups.append(QStringLiteral("index tags %1 not compared").arg(diff.tagsNotCompared.size()));
    groups.removeAll(QString());
    return QStringLiteral("In all: ") + groups.join(QStringLiteral("; ")) + QLatin1Char('.');
}

QString kindClass(ChangeKind kind)
{
    switch (kind) {
    case ChangeKind::Added:
        return QStringLiteral("added");
    case ChangeKind::Removed:
        return QStringLiteral("removed");
    case ChangeKind::Changed:
        break;
    }
    return QStringLiteral("changed");
}

const char *const htmlStyle = R"(
body { font: 14px/1.45 system-ui, "Liberation Sans", sans-serif; color: #1d2530; background: #fff;
       max-width: 76rem; margin: 0 auto; padding: 1.5rem; }
h1 { font-size: 1.8rem; margin: 0 0 .4rem; }
code { font-family: ui-monospace, "Liberation Mono", monospace; font-size: .95em; overflow-wrap: anywhere; }
ul.changes > li { margin: .5rem 0; }
ul ul { margin: .2rem 0; }
li.added::marker { content: "+ "; color: #1d6b2f; font-weight: 700; }
li.removed::marker { content: "\2212  "; color: #a4201a; font-weight: 700; }
li.changed::marker { content: "~ "; color: #7a5300; font-weight: 700; }
p.none { color: #5b6773; font-style: italic; }
)";

} // namespace

void writeDiffText(const StructureDiff &diff, const DiffSink &sink)
{
    const Sentences sentences(textMarkup);
    Output out(sink);
    out.sentence(QStringLiteral("Structure changes ") + sentences.sides(diff) + QStringLiteral("\n\n"), textMarkup);
    if (diff.isEmpty() && diff.isComplete()) {
        out.text(u"No changes.\n");
    } else {
        for (const Entry &entry : sentences.entries(diff)) {
            out.sentence(entry.head.text + QStringLiteral("\n"), textMarkup);
            for (const Line &detail : entry.details)
                out.sentence(QStringLiteral("  ") + detail.text + QStringLiteral("\n"), textMarkup);
        }
        out.text(QLatin1Char('\n') + summary(diff) + QLatin1Char('\n'));
    }
    out.flush();
}

void writeDiffMarkdown(const StructureDiff &diff, const DiffSink &sink)
{
    const Sentences sentences(markdownMarkup);
    Output out(sink);
    out.text(QStringLiteral("# Structure changes\n\nChanges ") + sentences.sides(diff) + QStringLiteral(".\n\n"));
    if (diff.isEmpty() && diff.isComplete()) {
        out.text(u"No changes.\n");
    } else {
        for (const Entry &entry : sentences.entries(diff)) {
            out.sentence(QStringLiteral("- ") + entry.head.text + QStringLiteral("\n"), markdownMarkup);
            for (const Line &detail : entry.details)
                out.sentence(QStringLiteral("  - ") + detail.text + QStringLiteral("\n"), markdownMarkup);
        }
        out.text(QLatin1Char('\n') + summary(diff) + QLatin1Char('\n'));
    }
    out.flush();
}

void writeDiffHtml(const StructureDiff &diff, const DiffSink &sink)
{
    const Sentences sentences(htmlMarkup);
    Output out(sink);
    out.text(u"<!DOCTYPE html>\n"
             "<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\" xml:lang=\"en\">\n"
             "<head>\n"
             "<meta charset=\"utf-8\" />\n"
             "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\" />\n"
             "<title>Structure changes</title>\n<style>");
    out.text(QLatin1String(htmlStyle));
    out.text(u"</style>\n</head>\n<body>\n<h1>Structure changes</h1>\n");
    out.text(QStringLiteral("<p>Changes ") + sentences.sides(diff) + QStringLiteral(".</p>\n"));
    if (diff.isEmpty() && diff.isComplete()) {
        out.text(u"<p class=\"none\">No changes.</p>\n");
    } else {
        out.text(u"<ul class=\"changes\">\n");
        for (const Entry &entry : sentences.entries(diff)) {
            out.sentence(QStringLiteral("<li class=\"") + kindClass(entry.head.kind) + QStringLiteral("\">")
                             + entry.head.text,
                         htmlMarkup);
            if (!entry.details.isEmpty()) {
                out.text(u"\n<ul>\n");
                for (const Line &detail : entry.details)
                    out.sentence(QStringLiteral("<li class=\"") + kindClass(detail.kind) + QStringLiteral("\">")
                                     + detail.text + QStringLiteral("</li>\n"),
                                 htmlMarkup);
                out.text(u"</ul>\n");
            }
            out.text(u"</li>\n");
        }
        out.text(QStringLiteral("</ul>\n<p>") + summary(diff) + QStringLiteral("</p>\n"));
    }
    out.text(u"</body>\n</html>\n");
    out.flush();
}

QByteArray collected(void (*write)(const StructureDiff &, const DiffSink &), const StructureDiff &diff)
{
    QByteArray document;
    write(diff, [&](QByteArrayView bytes) { document.append(bytes); });
    return document;
}

QByteArray diffText(const StructureDiff &diff)
{
    return collected(writeDiffText, diff);
}

QByteArray diffMarkdown(const StructureDiff &diff)
{
    return collected(writeDiffMarkdown, diff);
}

QByteArray diffHtml(const StructureDiff &diff)
{
    return collected(writeDiffHtml, diff);
}

QByteArray diffJson(const StructureDiff &diff)
{
    return collected(writeDiffJson, diff);
}

} // namespace diff
