#include "export/check/checks.h"

#include <QHash>
#include <QSet>

#include <mutex>

#include <sqlite3.h>

namespace check {

bool isPostgresReservedWord(const QString &word)
{
    // PostgreSQL's reserved key words, and those it reserves but for function
    // or type names: no table or column may take one unquoted.
    static const QSet<QString> words = [] {
        QSet<QString> set;
        for (const char *w :
             {"all", "analyse", "analyze", "and", "any", "array", "as", "asc", "asymmetric", "authorization",
              "binary", "both", "case", "cast", "check", "collate", "collation", "column", "concurrently",
              "constraint", "create", "cross", "current_catalog", "current_date", "current_role", "current_schema",
              "current_time", "current_timestamp", "current_user", "default", "deferrable", "desc", "distinct", "do",
              "else", "end", "except", "false", "fetch", "for", "foreign", "freeze", "from", "full", "grant",
              "group", "having", "ilike", "in", "initially", "inner", "intersect", "into", "is", "isnull", "join",
              "lateral", "leading", "left", "like", "limit", "localtime", "localtimestamp", "natural", "not",
              "notnull", "null", "offset", "on", "only", "or", "order", "outer", "overlaps", "placing", "primary",
              "references", "returning", "right", "select", "session_user", "similar", "some", "symmetric",
              "table", "tablesample", "then", "to", "trailing", "true", "union", "unique", "user", "using",
              "variadic", "verbose", "when", "where", "window", "with"})
            set.insert(QString::fromLatin1(w));
        return set;
    }();
    return words.contains(word.toLower());
}

bool isSqliteKeyword(const QString &word)
{
    // Many of SQLite's keywords are names too where its grammar allows: only
    // those its parser refuses as a column's name count, asked of SQLite
    // itself, once a word.
    const QByteArray bytes = word.toUtf8();
    if (sqlite3_keyword_check(bytes.constData(), int(bytes.size())) == 0)
        return false;
    static std::mutex lock;
    static QHash<QByteArray, bool> refused;
    const std::lock_guard<std::mutex> locked(lock);
    const auto known = refused.constFind(bytes.toLower());
    if (known != refused.cend())
        return *known;
    static sqlite3 *const database = [] {
        sqlite3 *opened = nullptr;
        sqlite3_open_v2(":memory:", &opened, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY, nullptr);
        return opened;
    }();
    sqlite3_stmt *statement = nullptr;
    const QByteArray sql = "CREATE TABLE t(" + bytes + " INTEGER)";
    const bool refusedHere = sqlite3_prepare_v2(database, sql.constData(), int(sql.size()), &statement, nullptr)
        != SQLITE_OK;
    sqlite3_finalize(statement);
    refused.insert(bytes.toLower(), refusedHere);
    return refusedHere;
}

} // namespace check
