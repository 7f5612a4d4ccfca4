#include "export/dictionary/diagram.h"

#include "platform/cleantext.h"

#include <QRegularExpression>
#include <QSet>

namespace dictionary {

namespace {

// Mermaid's own words, which an identifier must never be.
bool isMermaidWord(const QString &word)
{
    static const QSet<QString> words = {
        QStringLiteral("erdiagram"), QStringLiteral("style"),     QStringLiteral("classdef"),
        QStringLiteral("class"),     QStringLiteral("subgraph"),  QStringLiteral("end"),
        QStringLiteral("one"),       QStringLiteral("many"),      QStringLiteral("only"),
        QStringLiteral("zero"),      QStringLiteral("to"),        QStringLiteral("optionally"),
        QStringLiteral("u"),         QStringLiteral("o"),         QStringLiteral("accdescr"),
        QStringLiteral("acctitle"),  QStringLiteral("direction"), QStringLiteral("title"),
        QStringLiteral("default"),
    };
    return words.contains(word.toLower());
}

// The text as ASCII where it can be (accents dropped), every other character
// outside `allowed` an underscore.
QString asciiWord(const QString &text, const QRegularExpression &notAllowed)
{
    // Cleaned first: a lone surrogate is no text a pattern can match.
    QString word = platform::cleanText(text, platform::OneLine).normalized(QString::NormalizationForm_KD);
    static const QRegularExpression marks(QStringLiteral("[\\x{0300}-\\x{036f}]"));
    word.remove(marks);
    word.replace(notAllowed, QStringLiteral("_"));
    return word;
}

// A table's identifier: a letter first, unique but for case.
QString entityId(const QString &name, QSet<QString> &used)
{
    static const QRegularExpression notAllowed(QStringLiteral("[^A-Za-z0-9_]+"));
    QString id = asciiWord(name, notAllowed);
    if (id.isEmpty() || id == QLatin1String("_"))
        id = QStringLiteral("table");
    if (!id.front().isLetter())
        id.prepend(id.front() == u'_' ? QStringLiteral("t") : QStringLiteral("t_"));
    if (isMermaidWord(id))
        id += QLatin1Char('_');
    QString unique = id;
    for (int n = 2; used.contains(unique.toLower()); ++n)
        unique = id + QLatin1Char('_') + QString::number(n);
    used.insert(unique.toLower());
    return unique;
}

// A field's name or type as one word that is never a key word (PK, FK, UK).
QString attributeWord(const QString &text)
{
    static const QRegularExpression notAllowed(QStringLiteral("[^A-Za-z0-9_\\-()\\[\\]]"));
    QString word = asciiWord(text, notAllowed);
    if (word.isEmpty())
        word = QStringLiteral("_");
    if (!(word.front().isLetter() && word.front().unicode() < 128) && word.front() != u'_')
        word.prepend(QLatin1Char('_'));
    static const QRegularExpression keyWord(QStringLiteral("^(pk|fk|uk)(?![A-Za-z0-9_])"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (keyWord.match(word).hasMatch())
        word.prepend(QLatin1Char('_'));
    return word;
}

// Text for inside double quotes: one line, no quote, and nothing Mermaid's
// reader takes before it reads the diagram (a direction statement, a tag's
// attribute, a directive).
QString quotable(const QString &text)
{
    QString clean = platform::cleanText(text, platform::OneLine);
    static const QRegularExpression spaces(
        QStringLiteral("[\\x{00a0}\\x{1680}\\x{2000}-\\x{200a}\\x{202f}\\x{205f}\\x{3000}\\x{feff}]"));
    clean.replace(spaces, QStringLiteral(" "));
    clean.replace(QLatin1Char('"'), QLatin1Char('\''));
    clean = clean.simplified();
    static const QRegularExpression direction(QStringLiteral("(direction) +(?=tb|bt|rl|lr)"),
                                              QRegularExpression::CaseInsensitiveOption);
    clean.replace(direction, QStringLiteral("\\1_"));
    if (clean.endsWith(QLatin1Char('=')))
        clean += QLatin1Char(' ');
    return clean;
}

// A table's label: no percent sign or backslash either, never empty.
QString entityLabel(const QString &name)
{
    QString label = quotable(name);
    label.replace(QLatin1Char('%'), QChar(0xFF05));
    label.replace(QLatin1Char('\\'), QChar(0xFF3C));
    return label.isEmpty() ? QStringLiteral("_") : label;
}

// A relation's label or a field's comment: no "%%", no "~".
QString freeLabel(const QString &text)
{
    QString label = quotable(text);
    static const QRegularExpression percents(QStringLiteral("%{2,}"));
    label.replace(percents, QStringLiteral("%"));
    label.replace(QLatin1Char('~'), QChar(0x223C));
    return label;
}

QString source(const Diagram &diagram, bool joiningRowsOnly)
{
    QString out = QStringLiteral("    erDiagram\n");
    QSet<QString> used;
    QStringList ids;
    for (const DiagramBox &box : diagram.boxes) {
        const QString id = entityId(box.table, used);
        ids.append(id);
        out += QStringLiteral("        %1[\"%2\"] {\n").arg(id, entityLabel(box.table));
        for (const DiagramRow &row : box.rows) {
            if (joiningRowsOnly && !row.key && !row.foreign)
                continue;
            QStringList keys;
            if (row.key)
                keys.append(row.primary ? QStringLiteral("PK") : QStringLiteral("UK"));
            if (row.foreign)
                keys.append(QStringLiteral("FK"));
            const QString name = attributeWord(row.name);
            out += QStringLiteral("            %1 %2").arg(attributeWord(row.type), name);
            if (!keys.isEmpty())
                out += QLatin1Char(' ') + keys.join(QStringLiteral(", "));
            // The name as the table spells it, where the identifier could not.
            if (name != row.name)
                out += QStringLiteral(" \"%1\"").arg(freeLabel(row.name));
            out += QLatin1Char('\n');
        }
        out += QStringLiteral("        }\n");
    }
    for (const DiagramEdge &edge : diagram.edges) {
        out += QStringLiteral("        %1 %2 %3 : \"%4\"\n")
                   .arg(ids[edge.parent], edge.implied ? QStringLiteral("||..o{") : QStringLiteral("||--o{"),
                        ids[edge.child], freeLabel(edge.label));
    }
    return out;
}

} // namespace

QByteArray mermaidSource(const Diagram &diagram)
{
    QString whole = source(diagram, false);
    if (whole.size() > MermaidMostCharacters)
        whole = source(diagram, true);
    return whole.size() > MermaidMostCharacters ? QByteArray() : whole.toUtf8();
}

} // namespace dictionary
