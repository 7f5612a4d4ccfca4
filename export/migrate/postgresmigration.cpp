// A source into PostgreSQL through libpq: one transaction holding the
// tables, their rows sent by COPY in its text form, and then the keys,
// indexes and foreign keys, so that rows are checked against them once.

#include "export/migrate/migration.h"

#include "export/migrate/copytext.h"
#include "export/migrate/loading.h"
#include "platform/failure.h"

#include <QRegularExpression>

#include <libpq-fe.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace migrate {

namespace {

// Bytes sent to the server in one piece of a COPY.
constexpr qsizetype CopyChunk = 256 * 1024;

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

// The connection, closed when it goes; a transaction left open is then
// rolled back by the server.
class Connection {
public:
    explicit Connection(const QString &connection)
        : m_connection(PQconnectdb(connection.toUtf8().constData()))
    {
        if (!m_connection || PQstatus(m_connection) != CONNECTION_OK)
            throw Failure(QStringLiteral("The PostgreSQL server cannot be reached: %1").arg(message()),
                          platform::AccessDenied);
        // Notices (an implicit index, say) are no concern of the load.
        PQsetNoticeProcessor(m_connection, [](void *, const char *) {}, nullptr);
        // Set before anything built from the files' text is sent: the server
        // reads a whole string of statements under the settings it had.
        if (PQsetClientEncoding(m_connection, "UTF8") != 0)
            throw Failure(QStringLiteral("The PostgreSQL server takes no UTF-8: %1").arg(message()),
                          platform::AccessDenied);
        execute(QStringLiteral("SET standard_conforming_strings = on"),
                QStringLiteral("The PostgreSQL server cannot read strings as SQL has them"));
    }
    ~Connection() { PQfinish(m_connection); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    PGconn *handle() const { return m_connection; }

    QString message() const
    {
        return m_connection ? QString::fromUtf8(PQerrorMessage(m_connection)).trimmed()
                            : QStringLiteral("out of memory");
    }

    // "dbname on host", for the summary: never the password a connection
    // string may hold.
    QString description() const
    {
        return QStringLiteral("%1 on %2")
            .arg(QString::fromUtf8(PQdb(m_connection)), QString::fromUtf8(PQhost(m_connection)));
    }

    // Runs statements; a refusal throws, saying what `what` was for.
    void execute(const QString &sql, const QString &what)
    {
        const Result result = run(sql);
        if (PQresultStatus(result.get()) != PGRES_COMMAND_OK && PQresultStatus(result.get()) != PGRES_TUPLES_OK)
            throw Failure(QStringLiteral("%1: %2").arg(what, errorOf(result.get())), platform::AccessDenied);
    }

    // Runs one statement; false, with the server's reason, when it is refused.
    bool attempt(const QString &sql, QString &reason)
    {
        const Result result = run(sql);
        if (PQresultStatus(result.get()) == PGRES_COMMAND_OK)
            return true;
        reason = errorOf(result.get());
        return false;
    }

    // The rows of a query, each as its values' texts ("NULL" for none).
    QList<QStringList> rows(const QString &sql)
    {
        const Result result = run(sql);
        if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
            throw Failure(QStringLiteral("The database cannot answer %1: %2").arg(sql, errorOf(result.get())),
                          platform::AccessDenied);
        QList<QStringList> rows;
        for (int row = 0; row < PQntuples(result.get()); ++row) {
            QStringList values;
            for (int column = 0; column < PQnfields(result.get()); ++column)
                values << (PQgetisnull(result.get(), row, column)
                               ? QStringLiteral("NULL")
                               : QString::fromUtf8(PQgetvalue(result.get(), row, column)));
            rows << values;
        }
        return rows;
    }

    Result run(const QString &sql)
    {
        Result result(PQexec(m_connection, sql.toUtf8().constData()), &PQclear);
        if (!result)
            throw Failure(QStringLiteral("The PostgreSQL server went away: %1").arg(message()), platform::AccessDenied);
        return result;
    }

    // The server's own sentence, without its "ERROR:" and context lines.
    QString errorOf(const PGresult *result) const
    {
        const QString text = QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)).trimmed();
        return text.isEmpty() ? message() : text;
    }

private:
    PGconn *m_connection = nullptr;
};

// Sends the pieces of a COPY from a thread of its own, so that records are
// read and encoded while the server takes the pieces before them.
class CopySender {
public:
    explicit CopySender(PGconn *connection) : m_connection(connection), m_thread([this] { run(); }) {}
    ~CopySender() { finish(); }
    CopySender(const CopySender &) = delete;
    CopySender &operator=(const CopySender &) = delete;

    // Queues a piece, waiting while enough are queued; false once sending
    // failed (finish() then says why).
    bool send(QByteArray piece)
    {
        std::unique_lock lock(m_mutex);
        m_space.wait(lock, [&] { return m_queue.size() < MaxQueued || m_failed; });
        if (m_failed)
            return false;
        m_queue.push_back(std::move(piece));
        m_ready.notify_one();
        return true;
    }

    // Once every queued piece is sent: why sending failed, or nothing.
    QString finish()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_ready.notify_one();
        if (m_thread.joinable())
            m_thread.join();
        return m_error;
    }

private:
    static constexpr size_t MaxQueued = 4;

    void run()
    {
        for (;;) {
            QByteArray piece;
            {
                std::unique_lock lock(m_mutex);
                m_ready.wait(lock, [&] { return !m_queue.empty() || m_done; });
                if (m_queue.empty())
                    return;
                piece = std::move(m_queue.front());
                m_queue.pop_front();
            }
            m_space.notify_one();
            if (PQputCopyData(m_connection, piece.constData(), int(piece.size())) != 1) {
                const std::lock_guard lock(m_mutex);
                m_failed = true;
                m_error = QString::fromUtf8(PQerrorMessage(m_connection)).trimmed();
                m_queue.clear();
                m_space.notify_all();
                return;
            }
        }
    }

    PGconn *m_connection;
    std::mutex m_mutex;
    std::condition_variable m_ready; // a piece is queued, or nothing more comes
    std::condition_variable m_space; // a piece left the queue, or sending failed
    std::deque<QByteArray> m_queue;
    bool m_done = false;
    bool m_failed = false;
    QString m_error;
    std::thread m_thread; // last: it starts once everything it uses is made
};

// What a table's columns must become before its rows can go in: a text
// memo whose value holds NUL, bytea; a column that takes no NULL but got one
// (a value that could not be read), one that takes NULL.
struct Redo {
    int bytesField = -1;
    int nullableField = -1;
};

// The COPY of one table: rows gathered into pieces and sent; the server's
// refusal names the record it concerns. A row the columns cannot take as
// they are (see Redo) ends it early: nothing is returned and `redo` says why.
std::optional<TableLoad> copyTable(Connection &db, const model::SourceModel &source, const model::TableModel &table,
                                   const dictionary::SqlTableNames &names, const QList<bool> &bytesFields,
                                   const MigrationOptions &options, QList<model::Finding> &findings,
                                   MigrationProgress &progress, Redo &redo)
{
    TableRows rows(source, table, names, options, findings, progress, false);
    const TableCopy copy = tableCopy(names, bytesFields, rows, "STDIN");
    const QList<int> &fields = copy.fields;
    const auto refused = [&](const QString &reason) {
        return Failure(QStringLiteral("Table %1: the database refused its rows: %2").arg(table.name, reason),
                       platform::TableCorrupted);
    };
    const Result started = db.run(copy.statement);
    if (PQresultStatus(started.get()) != PGRES_COPY_IN)
        throw refused(db.errorOf(started.get()));
    TableLoad load;
    {
        CopySender sender(db.handle());
        QByteArray piece;
        const auto send = [&] {
            if (!sender.send(std::move(piece)))
                throw refused(sender.finish());
            piece = QByteArray();
            piece.reserve(CopyChunk + 4096);
        };
        piece.reserve(CopyChunk + 4096);
        QList<int> lost;
        while (rows.next()) {
            lost.clear();
            if (!appendCopyRow(piece, rows.values(), fields, &lost)) {
                for (const int at : std::as_const(lost)) {
                    const model::FieldModel &field = table.fields.at(fields.at(at));
                    if (field.type == 'M' && !field.binary && !bytesFields.value(fields.at(at)))
                        redo.bytesField = fields.at(at);
                }
                if (redo.bytesField >= 0)
                    break;
                for (const int at : std::as_const(lost))
                    rows.problem(fields.at(at), QStringLiteral("Its text holds NUL, which PostgreSQL text cannot "
                                                               "hold. Loaded without it."));
            }
            if (!rows.nullWhereNotNull().isEmpty()) {
                redo.nullableField = int(names.columns.indexOf(*rows.nullWhereNotNull().cbegin()));
                break;
            }
            if (piece.size() >= CopyChunk)
                send();
        }
        if (redo.bytesField >= 0 || redo.nullableField >= 0) {
            const QString unsent = sender.finish();
            if (!unsent.isEmpty())
                throw refused(unsent);
            PQputCopyEnd(db.handle(), "the table's columns change");
            while (Result(PQgetResult(db.handle()), &PQclear)) {
            }
            return std::nullopt;
        }
        if (!piece.isEmpty())
            send();
        load = rows.finish();
        const QString unsent = sender.finish();
        if (!unsent.isEmpty())
            throw refused(unsent);
    }
    load.bytesColumns = copy.bytesColumns;
    if (PQputCopyEnd(db.handle(), nullptr) != 1)
        throw refused(db.message());
    const Result ended(PQgetResult(db.handle()), &PQclear);
    if (PQresultStatus(ended.get()) != PGRES_COMMAND_OK) {
        // "COPY t, line 12, column f: …": the line is the row, which names its
        // record; the column is the field's (named here as the schema names it).
        const QString context = QString::fromUtf8(PQresultErrorField(ended.get(), PG_DIAG_CONTEXT));
        static const QRegularExpression line(QStringLiteral(", line (\\d+)(?:, column ([^:]+))?"));
        const QRegularExpressionMatch match = line.match(context);
        QString reason = db.errorOf(ended.get());
        if (match.hasMatch()) {
            QString place = QStringLiteral("record %1").arg(rows.recordOfRow(match.captured(1).toLongLong()));
            if (match.hasCaptured(2))
                place += QStringLiteral(", field ") + match.captured(2);
            reason = place + QStringLiteral(": ") + reason;
        }
        while (Result(PQgetResult(db.handle()), &PQclear)) {
        }
        throw refused(reason);
    }
    // The rows the server stored, as it counts them: nothing else writes to
    // the table in this transaction.
    load.loaded = QByteArray(PQcmdTuples(ended.get())).toLongLong();
    while (Result(PQgetResult(db.handle()), &PQclear)) {
    }
    return load;
}

// A table's rows, in a savepoint of their own. Rows that its columns cannot
// take as made (see Redo) change those columns, while the table is still
// empty, and the rows are loaded again: rare, so the common load reads
// each table once and checks no column after it.
TableLoad loadTable(Connection &db, const model::SourceModel &source, const model::TableModel &table,
                    dictionary::SqlTableNames names, const MigrationOptions &options,
                    QList<model::Finding> &findings, MigrationProgress &progress)
{
    const QString savepoint = QStringLiteral("The database refused a savepoint");
    const QString tableName = dictionary::sqlIdentifier(names.name);
    QList<bool> bytesFields(names.columns.size(), false);
    QStringList madeNullable;
    QStringList madeBytesWithoutDefault;
    const qsizetype findingsBefore = findings.size();
    const MigrationProgress progressBefore = progress;
    for (;;) {
        db.execute(QStringLiteral("SAVEPOINT table_rows"), savepoint);
        Redo redo;
        if (std::optional<TableLoad> load =
                copyTable(db, source, table, names, bytesFields, options, findings, progress, redo)) {
            db.execute(QStringLiteral("RELEASE SAVEPOINT table_rows"), savepoint);
            for (const QString &column : std::as_const(madeNullable))
                findings.append({model::Severity::Warning, table.name, notNullLeftOut(names.name, column)});
            for (const QString &column : std::as_const(madeBytesWithoutDefault))
                findings.append({model::Severity::Warning, table.name,
                                 QStringLiteral("The default of %1.%2 left out: a text default cannot be bytes.")
                                     .arg(tableName, dictionary::sqlIdentifier(column))});
            return *std::move(load);
        }
        db.execute(QStringLiteral("ROLLBACK TO SAVEPOINT table_rows; RELEASE SAVEPOINT table_rows"), savepoint);
        if (redo.bytesField >= 0) {
            // A text default cannot be bytes: it goes too.
            const QString column = dictionary::sqlIdentifier(names.columns.at(redo.bytesField));
            db.execute(QStringLiteral("ALTER TABLE %1 ALTER COLUMN %2 DROP DEFAULT, "
                                      "ALTER COLUMN %2 TYPE bytea USING convert_to(%2, 'UTF8')")
                           .arg(tableName, column),
                       QStringLiteral("The database cannot make %1 bytea").arg(column));
            bytesFields[redo.bytesField] = true;
            if (!table.fields.at(redo.bytesField).defaultValue.trimmed().isEmpty())
                madeBytesWithoutDefault << names.columns.at(redo.bytesField);
        }
        if (redo.nullableField >= 0) {
            const QString column = names.columns.at(redo.nullableField);
            db.execute(QStringLiteral("ALTER TABLE %1 ALTER COLUMN %2 DROP NOT NULL")
                           .arg(tableName, dictionary::sqlIdentifier(column)),
                       QStringLiteral("The database cannot let %1 take NULL").arg(dictionary::sqlIdentifier(column)));
            names.notNull[redo.nullableField] = false;
            madeNullable << column;
        }
        findings.resize(findingsBefore);
        progress = progressBefore;
    }
}

// The values that break a key or a foreign key, as the query finds them.
QStringList brokenValues(Connection &db, const dictionary::SqlStatement &statement)
{
    const bool foreign = statement.kind == dictionary::SqlStatement::Kind::ForeignKey;
    const QString query = foreign ? orphanValuesQuery(statement) : repeatedValuesQuery(statement);
    QStringList values;
    if (query.isEmpty())
        return values;
    for (const QStringList &row : db.rows(query))
        values << QStringLiteral("%1 (%2 %3)")
                      .arg(row.value(0), row.value(1), row.value(1) == QLatin1String("1") ? QStringLiteral("row")
                                                                                        : QStringLiteral("rows"));
    return values;
}

// The post-data section, a statement at a time, each behind a savepoint so
// that one the rows break can be left out.
void makePostData(Connection &db, const QList<dictionary::SqlStatement> &statements, const MigrationOptions &options,
                  QList<model::Finding> &findings)
{
    using Kind = dictionary::SqlStatement::Kind;
    for (const dictionary::SqlStatement &statement : statements) {
        const bool constraint = statement.kind != Kind::Index && statement.kind != Kind::NotNull;
        if (constraint && options.constraints == Constraints::Off)
            continue;
        db.execute(QStringLiteral("SAVEPOINT post_data"), QStringLiteral("The database refused a savepoint"));
        QString reason;
        if (db.attempt(statement.sql, reason)) {
            db.execute(QStringLiteral("RELEASE SAVEPOINT post_data"), QStringLiteral("The database refused a savepoint"));
            continue;
        }
        db.execute(QStringLiteral("ROLLBACK TO SAVEPOINT post_data"), QStringLiteral("The database refused a savepoint"));
        reason = reason.section(QLatin1Char('\n'), 0, 0);
        QString text = constraintText(statement);
        text = text.left(1).toUpper() + text.mid(1);
        const QStringList values = brokenValues(db, statement);
        const QString broken = values.isEmpty()
            ? QStringLiteral("%1 cannot be made: %2").arg(text, reason)
            : statement.kind == Kind::ForeignKey
            ? QStringLiteral("%1 cannot be made: no parent row holds %2").arg(text, someRows(values))
            : QStringLiteral("%1 cannot be made: rows repeat its values: %2").arg(text, someRows(values));
        if (options.constraints == Constraints::Strict || !constraint)
            throw Failure(broken + QLatin1Char('.'), platform::TableCorrupted);
        findings.append({model::Severity::Error, statement.table, broken + QStringLiteral("; left out.")});
    }
}

} // namespace

Migration migrateToPostgres(const QString &source, const QStringList &tables, const QString &connection,
                            const QString &schema, const MigrationOptions &options)
{
    Migration migration;
    const model::SourceModel model = readForLoad(source, tables, migration.findings);
    Connection db(connection);
    migration.target = db.description() + (schema.isEmpty() ? QString() : QStringLiteral(", schema ") + schema);

    dictionary::SqlOptions sql;
    sql.sections = dictionary::SqlSections::PreData;
    sql.transaction = false;
    const dictionary::SqlSchema plan = dictionary::sqlSchema(dictionary::DictionaryFormat::Postgres, model, sql);

    db.execute(QStringLiteral("BEGIN"), QStringLiteral("The database cannot begin the load"));
    if (!schema.isEmpty()) {
        const QString name = dictionary::sqlIdentifier(schema);
        db.execute(QStringLiteral("CREATE SCHEMA %1; SET LOCAL search_path TO %1").arg(name),
                   QStringLiteral("The schema %1 cannot be made").arg(name));
    }
    db.execute(QString::fromUtf8(plan.script), QStringLiteral("The database refused the schema"));
    MigrationProgress progress;
    for (const model::TableModel &table : model.tables)
        progress.bytesTotal += qint64(table.recordCount) * table.recordLength;
    for (qsizetype i = 0; i < model.tables.size(); ++i) {
        const model::TableModel &table = model.tables.at(i);
        migration.tables.append(
            loadTable(db, model, table, plan.tables.at(i), options, migration.findings, progress));
    }
    for (const TableLoad &load : std::as_const(migration.tables)) {
        if (load.loaded != load.read)
            throw Failure(QStringLiteral("Table %1: %2 records were read but the database holds %3 rows.")
                              .arg(load.table)
                              .arg(load.read)
                              .arg(load.loaded),
                          platform::TableCorrupted);
        if (!load.bytesColumns.isEmpty())
            migration.findings.append(
                {model::Severity::Warning, load.table,
                 QStringLiteral("Text memo %1 holds bytes that PostgreSQL text cannot (NUL): made bytea.")
                     .arg(load.bytesColumns.join(QStringLiteral(", ")))});
    }
    makePostData(db, plan.postData, options, migration.findings);
    db.execute(QStringLiteral("COMMIT"), QStringLiteral("The database cannot commit the load"));
    return migration;
}

bool isPostgresTarget(const QString &target)
{
    if (target.startsWith(QLatin1String("postgresql://")) || target.startsWith(QLatin1String("postgres://")))
        return true;
    if (!target.contains(QLatin1Char('=')))
        return false;
    // libpq's own reading: "host=… dbname=…" with words it knows.
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(target.toUtf8().constData(), &error);
    PQfreemem(error);
    PQconninfoFree(options);
    return options != nullptr;
}

} // namespace migrate
