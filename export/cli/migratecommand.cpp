#include "export/cli/migratecommand.h"

#include "export/cli/lines.h"
#include "export/migrate/migration.h"
#include "platform/failure.h"
#include "platform/fileaccess.h"

#include <QElapsedTimer>
#include <QFileInfo>

namespace cli {

int runMigration(const MigrateRequest &request, QIODevice &out, QIODevice &err)
{
    migrate::MigrationOptions options;
    options.replace = request.replace;
    options.strict = request.strict;
    options.constraints = request.constraints;
    // On a terminal, one line that says how far the load has come, written
    // over itself a few times a second and cleared at the end.
    QElapsedTimer clock;
    clock.start();
    qint64 shownAt = -1;
    qsizetype shownLength = 0;
    const auto show = [&](const QString &line) {
        err.write(('\r' + line.leftJustified(shownLength) + '\r').toLocal8Bit());
        shownLength = line.size();
    };
    if (platform::isTerminal(2)) {
        options.progress = [&](const migrate::MigrationProgress &progress) {
            const qint64 now = clock.elapsed();
            if (shownAt >= 0 && now - shownAt < 250)
                return;
            shownAt = now;
            const double seconds = double(now) / 1000;
            const double perSecond = seconds > 0 ? double(progress.bytesRead) / seconds : 0;
            QString line = QStringLiteral("%1: %2 rows, %3 MB/s")
                               .arg(oneLine(progress.table).left(40))
                               .arg(progress.rows)
                               .arg(perSecond / 1e6, 0, 'f', 1);
            if (perSecond > 0 && progress.bytesTotal > progress.bytesRead)
                line += QStringLiteral(", about %1 s left")
                            .arg(qint64(double(progress.bytesTotal - progress.bytesRead) / perSecond) + 1);
            show(line);
        };
    }
    migrate::Migration migration;
    try {
        migration = migrate::isPostgresTarget(request.target)
            ? migrate::migrateToPostgres(request.source, request.tables, request.target, request.schema, options)
            : migrate::migrateToSqlite(request.source, request.tables, request.target, options);
        if (shownLength > 0)
            show(QString());
    } catch (const Failure &failure) {
        if (shownLength > 0)
            show(QString());
        writeLine(err, QStringLiteral("orvalle-report: %1").arg(oneLine(failure.description())));
        // Only a database that is there can be replaced: not a name the source would read as its own.
        if (failure.number() == platform::FileInUse && !request.replace && QFileInfo::exists(request.target))
            writeLine(err, QStringLiteral("orvalle-report: nothing was written; --replace replaces an existing database"));
        else
            writeLine(err, QStringLiteral("orvalle-report: nothing was written"));
        return 1;
    }
    writeFindings(err, migration.findings);

    qsizetype width = 5;
    for (const migrate::TableLoad &load : std::as_const(migration.tables))
        width = qMax(width, oneLine(load.table).size());
    const auto row = [&](const QString &table, const QString &read, const QString &loaded, const QString &deleted,
                         const QString &findings) {
        return writeLine(out, QStringLiteral("%1  %2  %3  %4  %5")
                                  .arg(table, -int(width))
                                  .arg(read, 10)
                                  .arg(loaded, 10)
                                  .arg(deleted, 10)
                                  .arg(findings, 10));
    };
    bool written = row(QStringLiteral("Table"), QStringLiteral("Read"), QStringLiteral("Loaded"),
                       QStringLiteral("Deleted"), QStringLiteral("Findings"));
    qint64 rows = 0;
    bool everyRecord = true;
    for (const migrate::TableLoad &load : std::as_const(migration.tables)) {
        written = written
            && row(oneLine(load.table), QString::number(load.read), QString::number(load.loaded),
                   QString::number(load.deleted), QString::number(load.findings));
        rows += load.loaded;
        everyRecord = everyRecord && load.loaded == load.read;
    }
    const qsizetype tables = migration.tables.size();
    written = written
        && writeLine(out, QStringLiteral("Loaded into %1: %2 %3 of %4 %5.")
                              .arg(oneLine(migration.target))
                              .arg(rows)
                              .arg(rows == 1 ? QStringLiteral("row") : QStringLiteral("rows"))
                              .arg(tables)
                              .arg(tables == 1 ? QStringLiteral("table") : QStringLiteral("tables")));
    if (!written) {
        writeLine(err, QStringLiteral("orvalle-report: cannot write to standard output: %1").arg(out.errorString()));
        return 1;
    }
    return everyRecord ? 0 : 1;
}

} // namespace cli
