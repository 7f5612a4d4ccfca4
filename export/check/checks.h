#pragma once

// The checks of a source's design and health, as a CI can run them: every
// finding the model collects while reading, and design rules, each with a
// stable id, a severity and the sentence of why it matters; and how much of
// each table is documented (its fields with a comment, a caption, either).

#include "model/coverage.h"
#include "model/sourcemodel.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace check {

enum class Severity { Error, Warning, Note };

struct Rule {
    const char *id;
    Severity severity;
    const char *why; // one sentence
};

// Every rule, in the order their findings are listed.
const QList<Rule> &rules();
const Rule *ruleNamed(const QString &id);
QString severityWord(Severity severity); // "error", "warning", "note"

struct Finding {
    const Rule *rule = nullptr;
    QString place;   // the table, "table.field", or empty for the source
    QString message; // one line
};

struct Coverage : model::Coverage {
    QString table; // empty for the total
};

struct CheckResult {
    QString source;
    QList<Finding> findings; // in the order of rules(), then as met
    QList<Coverage> tables;
    Coverage total;
    QStringList ignored; // the rules left out
    int count(Severity severity) const;
    // 0: no error or warning; 1: some.
    int exitStatus() const;
};

// Applies the rules to tables handed over one at a time, keeping of each only
// what the rules across tables need, so a source of any size is checked
// with flat memory.
class Checker {
public:
    // `wholeSource`: every table of the source is handed over, so a table no
    // relation reaches is known (a relation to a table left out is not seen).
    Checker(const model::SourceModel &facts, bool wholeSource, QStringList ignored = {});
    ~Checker();
    void add(const model::TableModel &table);
    CheckResult finish(const model::SourceModel &rest);

private:
    struct Kept;
    std::unique_ptr<Kept> m_kept;
};

// The source at `path`, its tables chosen by `selection` as the dictionary
// chooses them. Throws Failure when the source cannot be read.
CheckResult checkSource(const QString &path, const QStringList &selection, const QStringList &ignored = {});
// A source held whole.
CheckResult checkModel(const model::SourceModel &source, const QStringList &ignored = {});

// Whether `word` is a reserved word of PostgreSQL, or a keyword SQLite
// refuses as a name, in any case.
bool isPostgresReservedWord(const QString &word);
bool isSqliteKeyword(const QString &word);

enum class CheckFormat { Text, Json, Markdown };
QByteArray writeCheck(const CheckResult &result, CheckFormat format);

} // namespace check
