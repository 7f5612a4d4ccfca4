#include "export/dictionary/dictionarytext.h"

#include "model/properties.h"
#include "platform/cleantext.h"

namespace dictionary {

namespace {

// Lower-case ASCII letters and digits of the name, other runs as one '-',
// short enough to read in an address bar.
QString anchorWords(QStringView name)
{
    constexpr qsizetype longest = 40;
    QString words;
    bool gap = false;
    for (const QChar c : name) {
        if (words.size() >= longest)
            break;
        char16_t u = c.unicode();
        if (u >= u'A' && u <= u'Z')
            u = u - u'A' + u'a';
        if ((u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9')) {
            if (gap && !words.isEmpty())
                words.append(QLatin1Char('-'));
            gap = false;
            words.append(QChar(u));
        } else {
            gap = true;
        }
    }
    return words;
}

QString anchor(const char *prefix, qsizetype number, const QString &name)
{
    QString id = QLatin1String(prefix) + QLatin1Char('-') + QString::number(number);
    const QString words = anchorWords(name);
    if (!words.isEmpty())
        id += QLatin1Char('-') + words;
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

SectionAnchors sectionAnchors(const model::SourceModel &source)
{
    SectionAnchors anchors;
    for (qsizetype i = 0; i < source.tables.size(); ++i)
        anchors.tables.append(anchor("table", i + 1, source.tables.at(i).name));
    for (qsizetype i = 0; i < source.views.size(); ++i)
        anchors.views.append(anchor("view", i + 1, source.views.at(i).name));
    anchors.tableNamed = TableLookup(source);
    return anchors;
}

TableLookup::TableLookup(const model::SourceModel &source)
{
    for (qsizetype i = 0; i < source.tables.size(); ++i) {
        const QString &name = source.tables.at(i).name;
        m_exact.emplace(name, i);
        m_folded.emplace(name.toCaseFolded(), i);
    }
}

qsizetype TableLookup::operator()(const QString &name) const
{
    if (name.isEmpty())
        return -1;
    const auto exact = m_exact.constFind(name);
    if (exact != m_exact.constEnd())
        return exact.value();
    return m_folded.value(name.toCaseFolded(), -1);
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

QString markdownText(QStringView text)
{
    const QStringList lines = textLines(platform::cleanText(text.toString(), platform::Lines));
    QString escaped;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        if (n > 0)
            escaped += QStringLiteral("<br>");
        for (const QChar c : lines.at(n)) {
            switch (c.unicode()) {
            case u'&':
                escaped += QStringLiteral("&amp;");
                break;
            case u'<':
                escaped += QStringLiteral("&lt;");
                break;
            case u'>':
                escaped += QStringLiteral("&gt;");
                break;
            case u'\\':
            case u'`':
            case u'*':
            case u'_':
            case u'[':
            case u']':
            case u'|':
            case u'#':
            case u'~':
            case u'$':
                escaped += QLatin1Char('\\');
                escaped += c;
                break;
            default:
                escaped += c;
            }
        }
    }
    return escaped;
}

QString htmlText(QStringView text)
{
    const QString shown = platform::cleanText(text.toString(), platform::Lines);
    QString out;
    out.reserve(shown.size());
    for (const QChar c : shown) {
        switch (c.unicode()) {
        case u'&':
            out += QStringLiteral("&amp;");
            break;
        case u'<':
            out += QStringLiteral("&lt;");
            break;
        case u'>':
            out += QStringLiteral("&gt;");
            break;
        case u'"':
            out += QStringLiteral("&quot;");
            break;
        case u'\'':
            out += QStringLiteral("&#39;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

qsizetype OutlinePlaces::next(const model::SourceModel &outline, const QString &name)
{
    for (qsizetype i = m_next; i < outline.tables.size(); ++i) {
        if (outline.tables.at(i).name == name) {
            m_next = i + 1;
            return i;
        }
    }
    return -1;
}

} // namespace dictionary
