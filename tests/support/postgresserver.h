#pragma once

// A PostgreSQL server of the test's own, and the programs run to reach it:
// a fresh cluster in a temporary folder, reached only through a Unix socket
// in that folder, so it can take any port number and never meets the
// system's cluster.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <memory>

struct Outcome {
    bool ok = false;
    QByteArray out;
    QString error;
};

Outcome runProcess(const QString &program, const QStringList &arguments, const QByteArray &input = {},
                   const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
                   const QString &workingDirectory = {});

// What separates the fields and the records of a query's output.
extern const QChar fieldSeparator;
extern const QChar recordSeparator;

// Rows of a query's output, fields joined by " | " for readable comparisons.
QStringList rowsOf(QByteArray output);

// What `id` says with `arguments` ("-u nobody"); empty when it fails.
QString idOf(const char *arguments);

// initdb refuses to run as root, so as root the cluster belongs to the user
// nobody.
class PostgresServer {
public:
    ~PostgresServer() { stop(); }

    // Empty when the server runs; else why there is none.
    QString start()
    {
        m_binaries = binaries();
        if (m_binaries.isEmpty())
            return QStringLiteral("no PostgreSQL server installed under /usr/lib/postgresql");
        m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/orvalle-postgres-XXXXXX"));
        if (!m_dir->isValid())
            return QStringLiteral("no temporary folder: ") + m_dir->errorString();
        m_data = m_dir->filePath(QStringLiteral("data"));
        if (idOf("-u") == QLatin1String("0")) {
            const QString uid = idOf("-u nobody");
            const QString gid = idOf("-g nobody");
            if (uid.isEmpty() || gid.isEmpty())
                return QStringLiteral("running as root, and there is no user nobody to run the server as");
            if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
                return QStringLiteral("running as root, and setpriv is missing");
            QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                      | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
            const Outcome made = runProcess(QStringLiteral("install"),
                                            {QStringLiteral("-d"), QStringLiteral("-o"), uid, QStringLiteral("-g"),
                                             gid, QStringLiteral("-m"), QStringLiteral("700"), m_data});
            if (!made.ok)
                return QStringLiteral("cannot make the data folder: ") + made.error;
            m_asUser = {QStringLiteral("setpriv"), QStringLiteral("--reuid=") + uid, QStringLiteral("--regid=") + gid,
                        QStringLiteral("--clear-groups"), QStringLiteral("--")};
        }
        const Outcome initdb = runAsUser(m_binaries + QStringLiteral("/initdb"),
                                         {QStringLiteral("-D"), m_data, QStringLiteral("-U"), QStringLiteral("postgres"),
                                          QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                                          QStringLiteral("--no-locale"), QStringLiteral("--no-sync")});
        if (!initdb.ok)
            return QStringLiteral("initdb failed: ") + initdb.error;

        // A shell between the test and the server stops it when its input
        // closes, which happens too when the test dies without cleaning up.
        // (The shell gives its background commands no input of their own.)
        QStringList server = m_asUser;
        server << m_binaries + QStringLiteral("/postgres") << QStringLiteral("-D") << m_data << QStringLiteral("-k")
               << m_data << QStringLiteral("-p") << QString::number(port) << QStringLiteral("-c")
               << QStringLiteral("listen_addresses=") << QStringLiteral("-c") << QStringLiteral("fsync=off");
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.setWorkingDirectory(m_dir->path());
        m_server.start(QStringLiteral("sh"),
                       QStringList{QStringLiteral("-c"),
                                   QStringLiteral("exec 3<&0; \"$@\" </dev/null 3<&- & server=$!; "
                                                  "(cat >/dev/null; kill -TERM $server) <&3 3<&- & wait $server"),
                                   QStringLiteral("sh")}
                           + server);
        if (!m_server.waitForStarted(30000))
            return QStringLiteral("the server did not start: ") + m_server.errorString();
        for (int attempt = 0; attempt < 600; ++attempt) {
            if (m_server.state() == QProcess::NotRunning)
                return QStringLiteral("the server stopped: ") + QString::fromUtf8(m_server.readAll());
            if (query(QStringLiteral("postgres"), "SELECT 1").ok)
                return QString();
            QThread::msleep(100);
        }
        const QString log = QString::fromUtf8(m_server.readAll());
        stop();
        return QStringLiteral("the server did not answer within a minute: ") + log;
    }

    void stop()
    {
        if (m_server.state() == QProcess::NotRunning)
            return;
        m_server.closeWriteChannel();
        if (!m_server.waitForFinished(60000)) {
            runAsUser(m_binaries + QStringLiteral("/pg_ctl"),
                      {QStringLiteral("-D"), m_data, QStringLiteral("-m"), QStringLiteral("immediate"),
                       QStringLiteral("stop")});
            m_server.kill();
            m_server.waitForFinished();
        }
    }

    // The path of one of the server's programs ("psql").
    QString program(const QString &name) const { return m_binaries + QLatin1Char('/') + name; }

    // The folder of the server's socket.
    QString socketFolder() const { return m_data; }

    // What libpq takes to reach `database` on this server.
    QString connectionString(const QString &database) const
    {
        return QStringLiteral("host=%1 port=%2 user=postgres dbname=%3").arg(m_data).arg(port).arg(database);
    }

    Outcome createDatabase(const QString &name)
    {
        return script(QStringLiteral("postgres"), "CREATE DATABASE \"" + name.toUtf8() + "\";");
    }

    // Runs a script; the first error stops it.
    Outcome script(const QString &database, const QByteArray &sql)
    {
        return runProcess(m_binaries + QStringLiteral("/psql"),
                          connection(database) << QStringLiteral("-q") << QStringLiteral("-f") << QStringLiteral("-"),
                          sql, environment());
    }

    // Runs a query; rowsOf() reads its output.
    Outcome query(const QString &database, const QByteArray &sql)
    {
        return runProcess(m_binaries + QStringLiteral("/psql"),
                          connection(database) << QStringLiteral("-q") << QStringLiteral("-A") << QStringLiteral("-t") << QStringLiteral("-F")
                                               << QString(fieldSeparator) << QStringLiteral("-R")
                                               << QString(recordSeparator) << QStringLiteral("-f") << QStringLiteral("-"),
                          sql, environment());
    }

private:
    static constexpr int port = 5432;

    static QString binaries()
    {
        QDir versions(QStringLiteral("/usr/lib/postgresql"));
        QStringList found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        std::sort(found.begin(), found.end(),
                  [](const QString &a, const QString &b) { return a.toDouble() > b.toDouble(); });
        for (const QString &version : found) {
            const QString bin = versions.filePath(version + QStringLiteral("/bin"));
            if (QFileInfo(bin + QStringLiteral("/initdb")).isExecutable()
                && QFileInfo(bin + QStringLiteral("/postgres")).isExecutable()
                && QFileInfo(bin + QStringLiteral("/psql")).isExecutable())
                return bin;
        }
        return QString();
    }

    QStringList connection(const QString &database) const
    {
        return {QStringLiteral("-X"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"),
                m_data, QStringLiteral("-p"), QString::number(port), QStringLiteral("-U"), QStringLiteral("postgres"),
                QStringLiteral("-d"), database};
    }

    // Nothing of the caller's PG… settings reaches the server.
    static QProcessEnvironment environment()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString &key : environment.keys()) {
            if (key.startsWith(QLatin1String("PG")))
                environment.remove(key);
        }
        return environment;
    }

    Outcome runAsUser(const QString &program, const QStringList &arguments)
    {
        if (m_asUser.isEmpty())
            return runProcess(program, arguments, {}, environment(), m_dir->path());
        return runProcess(m_asUser.first(), m_asUser.mid(1) + QStringList{program} + arguments, {}, environment(),
                          m_dir->path());
    }

    QString m_binaries;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_data;
    QStringList m_asUser;
    QProcess m_server;
};

