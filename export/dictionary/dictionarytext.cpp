#include "export/dictionary/dictionarytext.h"

#include "model/properties.h"
#include "platform/cleantext.h"

namespace dictionary {

namespace {

// Lower-case ASCII letters and digits of the name, other runs as one '-',
// short enough to read in an address bar.
std::string anchorWords(QStringView name)
{
    constexpr size_t longest = 40;
    std::string words;
    bool gap = false;
    for (const QChar c : name) {
        if (words.size() >= longest)
            break;
        char16_t u = c.unicode();
        if (u >= u'A' && u <= u'Z')
            u = u - u'A' + u'a';
        if ((u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9')) {
            if (gap && !words.empty())
                words += '-';
            gap = false;
            words += char(u);
        } else {
            gap = true;
        }
    }
    return words;
}

std::string anchor(const char *prefix, qsizetype number, const QString &name)
{
    std::string id = std::string(prefix) + '-' + std::to_string(number);
    const std::string words = anchorWords(name);
    if (!words.empty())
        id += '-' + words;
    return id;
}

} // namespace

QString pairedText(QStringView text)
{
    QString paired;
    paired.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            paired.append(text[i]);
            paired.append(text[++i]);
            continue;
        }
        paired.append(text[i].isSurrogate() ? QChar(QChar::ReplacementCharacter) : text[i]);
    }
    return paired;
}

QStringList textLines(QStringView text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n')
            continue;
        lines.append(text.sliced(start, i - start).toString());
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    lines.append(text.sliced(start).toString());
    return lines;
}

QString tagKindWord(model::TagKind kind)
{
    return QString::fromLatin1(model::tagKindWords().at(int(kind)));
}

QString severityWord(model::Severity severity)
{
    return QString::fromLatin1(model::severityWords().at(int(severity)));
}

SectionAnchors sectionAnchors(const QStringList &tables, const QList<model::ViewModel> &views)
{
    SectionAnchors anchors;
    anchors.tables.reserve(size_t(tables.size()));
    for (qsizetype i = 0; i < tables.size(); ++i)
        anchors.tables.push_back(anchor("table", i + 1, tables.at(i)));
    for (qsizetype i = 0; i < views.size(); ++i)
        anchors.views.push_back(anchor("view", i + 1, views.at(i).name));
    anchors.tableNamed = TableLookup(tables);
    return anchors;
}

TableLookup::TableLookup(const QStringList &names) : m_names(names)
{
    m_exact.reserve(names.size());
    for (qsizetype i = 0; i < names.size(); ++i)
        m_exact.emplace(names.at(i), i);
}

qsizetype TableLookup::operator()(const QString &name) const
{
    if (name.isEmpty())
        return -1;
    const auto exact = m_exact.find(name);
    if (exact != m_exact.end())
        return exact->second;
    if (m_folded.empty()) {
        m_folded.reserve(m_names.size());
        for (qsizetype i = 0; i < m_names.size(); ++i)
            m_folded.emplace(m_names.at(i).toCaseFolded(), i);
    }
    const auto folded = m_folded.find(name.toCaseFolded());
    return folded == m_folded.end() ? -1 : folded->second;
}

QString typeText(const model::FieldModel &field)
{
    QString text = field.typeName.isEmpty() ? QString(QChar(static_cast<uchar>(field.type)))
                                            : field.typeName;
    if (field.binary)
        text += QStringLiteral(", binary");
    if (field.autoIncrement)
        text += QStringLiteral(", autoincrement (next %1, step %2)").arg(field.nextValue).arg(field.step);
    return text;
}

QString memoText(const model::TableModel &table)
{
    if (!table.memo)
        return QStringLiteral("none");
    if (!table.memo->present)
        return table.memo->file + QStringLiteral(", missing");
    if (table.memo->blockSize <= 0)
        return table.memo->file + QStringLiteral(", unreadable");
    return table.memo->file + QStringLiteral(", blocks of %1 bytes").arg(table.memo->blockSize);
}

QString isoLastUpdate(const model::TableModel &table)
{
    // Years outside 1–9999 have no ISO 8601 calendar date without an agreement.
    if (!table.lastUpdate || !table.lastUpdate->isValid() || table.lastUpdate->year() < 1
        || table.lastUpdate->year() > 9999)
        return QString();
    return table.lastUpdate->toString(Qt::ISODate);
}

QString lastUpdateText(const model::TableModel &table)
{
    const QString date = isoLastUpdate(table);
    return date.isEmpty() ? QStringLiteral("not a date") : date;
}

QString orderText(const model::IndexModel &index)
{
    return (index.descending ? QStringLiteral("descending, ") : QStringLiteral("ascending, "))
        + (index.collation.isEmpty() ? QStringLiteral("MACHINE") : index.collation);
}

QString sourceKindText(const model::SourceModel &source)
{
    return source.kind == model::SourceModel::Kind::Container
        ? QStringLiteral("database container")
        : QStringLiteral("folder of free tables");
}

QString nameOrPlaceholder(const QString &name)
{
    return name.isEmpty() ? QStringLiteral("(no name)") : name;
}

namespace {

// Cleaned text as UTF-8: every surrogate stands in a pair.
void appendUtf8(std::string &out, QStringView text)
{
    // Room for the most a code unit takes, filled, then cut to what was written.
    const size_t start = out.size();
    out.resize(start + size_t(text.size()) * 3);
    char *at = out.data() + start;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (c < 0x80) {
            *at++ = char(c);
            continue;
        }
        if (QChar::isHighSurrogate(c))
            c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
        if (c < 0x800) {
            *at++ = char(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            *at++ = char(0xE0 | (c >> 12));
            *at++ = char(0x80 | ((c >> 6) & 0x3F));
        } else {
            *at++ = char(0xF0 | (c >> 18));
            *at++ = char(0x80 | ((c >> 12) & 0x3F));
            *at++ = char(0x80 | ((c >> 6) & 0x3F));
        }
        *at++ = char(0x80 | (c & 0x3F));
    }
    out.resize(size_t(at - out.data()));
}

// Each line of the cleaned text through `escape`, `lineBreak` between lines:
// CR LF, CR and LF each end one.
template <class Escape>
void appendLines(std::string &out, const QString &text, std::string_view lineBreak, Escape escape)
{
    if (text.isEmpty())
        return;
    const QString shown = platform::cleanText(text, platform::Lines);
    const QStringView view(shown);
    qsizetype from = 0;
    for (qsizetype i = 0; i < view.size(); ++i) {
        const char16_t c = view[i].unicode();
        if (c != u'\r' && c != u'\n') {
            if (const char *escaped = escape(c)) {
                appendUtf8(out, view.sliced(from, i - from));
                out += escaped;
                from = i + 1;
            }
            continue;
        }
        appendUtf8(out, view.sliced(from, i - from));
        out += lineBreak;
        if (c == u'\r' && i + 1 < view.size() && view[i + 1] == u'\n')
            ++i;
        from = i + 1;
    }
    appendUtf8(out, view.sliced(from));
}

const char *markdownEscape(char16_t c)
{
    switch (c) {
    case u'&': return "&amp;";
    case u'<': return "&lt;";
    case u'>': return "&gt;";
    case u'\\': return "\\\\";
    case u'`': return "\\`";
    case u'*': return "\\*";
    case u'_': return "\\_";
    case u'[': return "\\[";
    case u']': return "\\]";
    case u'|': return "\\|";
    case u'#': return "\\#";
    case u'~': return "\\~";
    case u'$': return "\\$";
    default: return nullptr;
    }
}

const char *htmlEscape(char16_t c)
{
    switch (c) {
    case u'&': return "&amp;";
    case u'<': return "&lt;";
    case u'>': return "&gt;";
    case u'"': return "&quot;";
    case u'\'': return "&#39;";
    default: return nullptr;
    }
}

} // namespace

void appendMarkdownText(std::string &out, const QString &text)
{
    appendLines(out, text, "<br>", markdownEscape);
}

void appendHtmlText(std::string &out, const QString &text, std::string_view lineBreak)
{
    appendLines(out, text, lineBreak, htmlEscape);
}

void appendGraphvizText(std::string &out, const QString &text)
{
    appendLines(out, text, " ", [](char16_t c) -> const char * {
        switch (c) {
        // Graphviz reads entities in these strings too, and writes them out
        // as characters: an ampersand of ours must stay one.
        case u'&': return "&amp;";
        case u'"': return "\\\"";
        // Graphviz's reader makes two backslashes one, and its escapes (\N,
        // the node's name; \n, a line break) then take one more.
        case u'\\': return "\\\\\\\\";
        default: return nullptr;
        }
    });
}

void appendGraphvizHtml(std::string &out, const QString &text)
{
    appendLines(out, text, " ", [](char16_t c) -> const char * {
        // Graphviz takes its escapes (\N, the node's name) in such text too.
        return c == u'\\' ? "\\\\" : htmlEscape(c);
    });
}

void appendPlainLines(std::string &out, const QString &text)
{
    appendLines(out, text, "\n", [](char16_t) -> const char * { return nullptr; });
}

QString markdownText(QStringView text)
{
    std::string out;
    appendMarkdownText(out, text.toString());
    return QString::fromStdString(out);
}

QString htmlText(QStringView text)
{
    std::string out;
    appendHtmlText(out, text.toString(), "\n");
    return QString::fromStdString(out);
}

qsizetype OutlinePlaces::next(const QStringList &tables, const QString &name)
{
    for (qsizetype i = m_next; i < tables.size(); ++i) {
        if (tables.at(i) == name) {
            m_next = i + 1;
            return i;
        }
    }
    return -1;
}

} // namespace dictionary
