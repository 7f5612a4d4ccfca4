#include "export/migrate/migration.h"

#include "export/migrate/loading.h"

#include "export/dictionary/dictionary.h"
#include "platform/codepage.h"
#include "platform/failure.h"
#include "platform/fileaccess.h"
#include "platform/recordreader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryFile>

#include <memory>

#include <sqlite3.h>

#include <optional>

namespace migrate {

namespace {

// The database being made, closed when it goes.
class Database {
public:
    explicit Database(const QString &path)
    {
        const QByteArray name = QFile::encodeName(path);
        const int result = sqlite3_open_v2(name.constData(), &m_db,
                                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (result != SQLITE_OK)
            throw Failure(QStringLiteral("The database cannot be made: %1").arg(message()), platform::AccessDenied);
        // One connection of one thread: no locks. The file is put in place
        // only when complete, so nothing needs to survive a crash; but a
        // statement that fails (a unique index that rows break) must be
        // undone, which takes a journal: in memory.
        execute("PRAGMA journal_mode = MEMORY; PRAGMA synchronous = OFF;", "The database cannot be made");
    }
    ~Database() { sqlite3_close(m_db); }
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    sqlite3 *handle() const { return m_db; }

    QString message() const { return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory"); }

    // Runs statements; a refusal throws, `what` saying what they were for.
    void execute(const QByteArray &sql, const char *what)
    {
        char *error = nullptr;
        if (sqlite3_exec(m_db, sql.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            const QString text = QString::fromUtf8(error ? error : "unknown error");
            sqlite3_free(error);
            throw Failure(QStringLiteral("%1: %2").arg(QLatin1String(what), text), platform::AccessDenied);
        }
    }

    // Closes it; throws when SQLite reports that the file could not be finished.
    void close()
    {
        const int result = sqlite3_close(m_db);
        m_db = nullptr;
        if (result != SQLITE_OK)
            throw Failure(QStringLiteral("The database could not be finished."), platform::AccessDenied);
    }

private:
    sqlite3 *m_db = nullptr;
};

class Statement {
public:
    Statement(Database &db, const QString &sql) : Statement(db, sql, Refused::Allowed)
    {
        if (!m_statement)
            throw Failure(QStringLiteral("The database cannot take the statement %1: %2").arg(sql, db.message()),
                          platform::AccessDenied);
    }
    // A statement the database may refuse: then handle() is null and the
    // database's message says why.
    enum class Refused { Allowed };
    Statement(Database &db, const QString &sql, Refused)
    {
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(db.handle(), text.constData(), int(text.size()), &m_statement, nullptr) != SQLITE_OK) {
            sqlite3_finalize(m_statement);
            m_statement = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    sqlite3_stmt *handle() const { return m_statement; }

private:
    sqlite3_stmt *m_statement = nullptr;
};

void bind(sqlite3_stmt *statement, int index, const platform::FieldValue &value)
{
    using platform::ValueKind;
    switch (value.kind) {
    case ValueKind::Null:
        sqlite3_bind_null(statement, index);
        return;
    case ValueKind::Text:
    case ValueKind::Decimal:
    case ValueKind::Date:
    case ValueKind::Timestamp:
        // The value lives until the row is stepped.
        sqlite3_bind_text64(statement, index, value.data.constData(), sqlite3_uint64(value.data.size()), SQLITE_STATIC,
                            SQLITE_UTF8);
        return;
    case ValueKind::Bytes:
        // constData() is never null, so no bytes bind an empty blob, not NULL.
        sqlite3_bind_blob64(statement, index, value.data.constData(), sqlite3_uint64(value.data.size()), SQLITE_STATIC);
        return;
    case ValueKind::Integer:
    case ValueKind::Boolean:
        sqlite3_bind_int64(statement, index, value.integer);
        return;
    case ValueKind::Real:
        sqlite3_bind_double(statement, index, value.real);
        return;
    }
}

// Loads one table's records into its table in the database.
TableLoad loadTable(Database &db, const model::SourceModel &source, const model::TableModel &table,
                    const dictionary::SqlTableNames &names, const MigrationOptions &options,
                    QList<model::Finding> &findings, MigrationProgress &progress)
{
    TableRows rows(source, table, names, options, findings, progress, true);
    QList<int> fields; // the fields that have a column, in order
    QStringList columns;
    QStringList places;
    for (int i = 0; i < names.columns.size(); ++i) {
        if (names.columns.at(i).isEmpty())
            continue;
        fields.append(i);
        columns.append(dictionary::sqlIdentifier(names.columns.at(i)));
        places.append(QStringLiteral("?"));
    }
    if (names.name.isEmpty() || fields.isEmpty()) {
        // A table the schema leaves out (SQLite takes none without columns):
        // its records are counted, and none can be loaded.
        while (rows.next()) {
        }
        TableLoad load = rows.finish();
        load.created = false;
        findings.append({model::Severity::Warning, table.name,
                         QStringLiteral("SQLite cannot hold a table without a column; its %1 records, which hold no "
                                        "value, are left out.")
                             .arg(load.read)});
        return load;
    }
    Statement insert(db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                             .arg(dictionary::sqlIdentifier(names.name), columns.join(QStringLiteral(", ")),
                                  places.join(QStringLiteral(", "))));
    while (rows.next()) {
        const QList<platform::FieldValue> &values = rows.values();
        for (int i = 0; i < fields.size(); ++i) {
            const platform::FieldValue &value = values.at(fields.at(i));
            // A value that could not be read goes in as NULL; a column that
            // takes none gets the bytes the file holds, which SQLite keeps
            // in a column of any type.
            if (value.kind == platform::ValueKind::Null && !value.data.isEmpty() && names.notNull.value(fields.at(i)))
                bind(insert.handle(), i + 1, {platform::ValueKind::Bytes, value.data, 0, 0});
            else
                bind(insert.handle(), i + 1, value);
        }
        if (sqlite3_step(insert.handle()) != SQLITE_DONE)
            throw Failure(QStringLiteral("Table %1, record %2: the database refused the row: %3")
                              .arg(table.name)
                              .arg(rows.recordNumber())
                              .arg(db.message()),
                          platform::TableCorrupted);
        sqlite3_reset(insert.handle());
    }
    TableLoad load = rows.finish();
    Statement count(db, QStringLiteral("SELECT count(*) FROM %1").arg(dictionary::sqlIdentifier(names.name)));
    if (sqlite3_step(count.handle()) == SQLITE_ROW)
        load.loaded = sqlite3_column_int64(count.handle(), 0);
    return load;
}

QString columnText(sqlite3_stmt *statement, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return text ? QString::fromUtf8(text) : QStringLiteral("NULL");
}

// The rows `check` (a foreign_key_check) finds whose foreign key finds no
// parent row, each named by its table and the values of its key:
// "Employees: reportsto 0 is no row of Employees".
QList<model::Finding> foreignKeyBreaksOf(Database &db, Statement &check)
{
    QList<model::Finding> breaks;
    while (sqlite3_step(check.handle()) == SQLITE_ROW) {
        const QString table = columnText(check.handle(), 0);
        const qint64 rowid = sqlite3_column_int64(check.handle(), 1);
        const QString parent = columnText(check.handle(), 2);
        const int key = sqlite3_column_int(check.handle(), 3);
        QStringList columns;
        Statement keys(db, QStringLiteral("PRAGMA foreign_key_list(%1)").arg(dictionary::sqlIdentifier(table)));
        while (sqlite3_step(keys.handle()) == SQLITE_ROW) {
            if (sqlite3_column_int(keys.handle(), 0) == key)
                columns << columnText(keys.handle(), 3);
        }
        QStringList values;
        for (const QString &column : std::as_const(columns)) {
            Statement value(db, QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                                    .arg(dictionary::sqlIdentifier(column), dictionary::sqlIdentifier(table)));
            sqlite3_bind_int64(value.handle(), 1, rowid);
            if (sqlite3_step(value.handle()) == SQLITE_ROW)
                values << column + QLatin1Char(' ') + columnText(value.handle(), 0);
        }
        breaks.append({model::Severity::Error, table,
                       QStringLiteral("A row whose %1 is no row of %2 breaks the relation the container declares.")
                           .arg(values.join(QStringLiteral(", ")), parent)});
    }
    return breaks;
}

// The rows of `tables` whose foreign key finds no parent row.
QList<model::Finding> foreignKeyBreaks(Database &db, const QList<dictionary::SqlTableNames> &tables)
{
    QList<model::Finding> breaks;
    for (const dictionary::SqlTableNames &named : tables) {
        if (named.name.isEmpty())
            continue;
        // A foreign key whose parent key was left out cannot be checked.
        Statement check(db, QStringLiteral("PRAGMA foreign_key_check(%1)").arg(dictionary::sqlIdentifier(named.name)),
                        Statement::Refused::Allowed);
        if (!check.handle()) {
            breaks.append({model::Severity::Warning, named.name,
                           QStringLiteral("Its foreign keys cannot be checked, as the key they refer to was "
                                          "left out (%1).")
                               .arg(db.message())});
            continue;
        }
        breaks += foreignKeyBreaksOf(db, check);
    }
    return breaks;
}

// The values a key or unique index finds repeated: "'A1' (2 rows)".
QStringList repeatedValues(Database &db, const dictionary::SqlStatement &statement)
{
    QStringList values;
    const QString query = repeatedValuesQuery(statement);
    if (query.isEmpty())
        return values;
    Statement repeated(db, query);
    while (sqlite3_step(repeated.handle()) == SQLITE_ROW)
        values << QStringLiteral("%1 (%2 rows)").arg(columnText(repeated.handle(), 0)).arg(sqlite3_column_int64(repeated.handle(), 1));
    return values;
}

// The keys, unique indexes and indexes made after the data, one by one: one
// that rows break fails the load or, with Constraints::After, is left out
// and named.
void makePostData(Database &db, const QList<dictionary::SqlStatement> &statements, const MigrationOptions &options,
                  QList<model::Finding> &findings)
{
    for (const dictionary::SqlStatement &statement : statements) {
        if (options.constraints == Constraints::Off && statement.kind != dictionary::SqlStatement::Kind::Index)
            continue;
        char *error = nullptr;
        if (sqlite3_exec(db.handle(), statement.sql.toUtf8().constData(), nullptr, nullptr, &error) == SQLITE_OK)
            continue;
        const QString reason = QString::fromUtf8(error ? error : "unknown error");
        sqlite3_free(error);
        const QStringList repeated = repeatedValues(db, statement);
        const QString broken = repeated.isEmpty()
            ? QStringLiteral("%1 cannot be made: %2").arg(constraintText(statement), reason)
            : QStringLiteral("%1 cannot be made: rows repeat its values: %2")
                  .arg(constraintText(statement), someRows(repeated));
        if (options.constraints == Constraints::Strict)
            throw Failure(broken.left(1).toUpper() + broken.mid(1) + QLatin1Char('.'), platform::TableCorrupted);
        findings.append({model::Severity::Error, statement.table,
                         broken.left(1).toUpper() + broken.mid(1) + QStringLiteral("; left out.")});
    }
}

} // namespace

Migration migrateToSqlite(const QString &source, const QStringList &tables, const QString &target,
                          const MigrationOptions &options)
{
    const QFileInfo targetInfo(target);
    if (targetInfo.exists() && !options.replace)
        throw Failure(QStringLiteral("The database '%1' exists already.").arg(QDir::toNativeSeparators(target)),
                      platform::FileInUse);
    // Only a file is replaced: renaming over a device (/dev/null) or a
    // folder would replace that instead.
    const platform::FileKind kind = platform::kindOf(platform::LocalPath::fromText(target));
    if (kind != platform::FileKind::Missing && kind != platform::FileKind::Regular)
        throw Failure(QStringLiteral("The database cannot be written to '%1': it is no regular file.")
                          .arg(QDir::toNativeSeparators(target)),
                      platform::FileInUse);
    if (const std::optional<QString> file = model::sourceFileMatching(source, tables, target))
        throw Failure(QStringLiteral("The database cannot be written to '%1': that is the data source's file '%2', "
                                     "and a data source is never written.")
                          .arg(QDir::toNativeSeparators(target), *file),
                      platform::FileInUse);

    Migration migration;
    const model::SourceModel model = readForLoad(source, tables, migration.findings);
    dictionary::SqlOptions sql;
    sql.sections = dictionary::SqlSections::PreData;
    sql.transaction = false;
    // A key rows may break is left out or not made unless the load is strict.
    sql.sqlitePrimaryKeysAfterData = options.constraints != Constraints::Strict;
    const dictionary::SqlSchema schema = dictionary::sqlSchema(dictionary::DictionaryFormat::Sqlite, model, sql);
    const QList<dictionary::SqlTableNames> &names = schema.tables;

    // Held by pointer, so that its handle can be let go before the rename.
    auto held = std::make_unique<QTemporaryFile>(targetInfo.absolutePath() + QStringLiteral("/.")
                                                 + targetInfo.fileName() + QStringLiteral(".XXXXXX"));
    QTemporaryFile &file = *held;
    if (!file.open())
        throw Failure(QStringLiteral("The database cannot be made beside '%1': %2")
                          .arg(QDir::toNativeSeparators(target), file.errorString()),
                      platform::AccessDenied);
    platform::takePermissionsOf(file.handle(), platform::LocalPath::fromText(target));
    {
        Database db(file.fileName());
        db.execute("BEGIN", "The database cannot begin the load");
        db.execute(schema.script, "The database refused the schema");
        MigrationProgress progress;
        for (const model::TableModel &table : model.tables)
            progress.bytesTotal += qint64(table.recordCount) * table.recordLength;
        for (qsizetype i = 0; i < model.tables.size(); ++i)
            migration.tables.append(
                loadTable(db, model, model.tables.at(i), names.at(i), options, migration.findings, progress));
        makePostData(db, schema.postData, options, migration.findings);
        if (options.constraints != Constraints::Off) {
            const QList<model::Finding> breaks = foreignKeyBreaks(db, names);
            if (!breaks.isEmpty() && options.constraints == Constraints::Strict) {
                QStringList named;
                for (const model::Finding &broken : breaks)
                    named << broken.place + QStringLiteral(": ") + broken.message;
                throw Failure(QStringLiteral("%1 rows break the relations the container declares. %2")
                                  .arg(breaks.size())
                                  .arg(someRows(named)),
                              platform::TableCorrupted);
            }
            migration.findings += breaks;
        }
        db.execute("COMMIT", "The database cannot be written");
        for (const TableLoad &load : std::as_const(migration.tables)) {
            if (load.created && load.loaded != load.read)
                throw Failure(QStringLiteral("Table %1: %2 records were read but the database holds %3 rows.")
                                  .arg(load.table)
                                  .arg(load.read)
                                  .arg(load.loaded),
                              platform::TableCorrupted);
        }
        db.close();
    }
    const QString unsynced = platform::syncToDisk(file.handle());
    if (!unsynced.isEmpty())
        throw Failure(QStringLiteral("The database cannot be written: %1").arg(unsynced), platform::AccessDenied);
    // A temporary file's close() only rewinds it; its handle goes with it.
    // Windows renames no file that is held open without leave to delete it.
    const QString made = file.fileName();
    file.setAutoRemove(false);
    held.reset();
    auto removeMade = qScopeGuard([&] { QFile::remove(made); });
    platform::moveIntoPlace(platform::LocalPath::fromText(made), platform::LocalPath::fromText(target), options.replace);
    removeMade.dismiss();
    migration.target = QDir::toNativeSeparators(target);
    return migration;
}

} // namespace migrate
