// SPDX-License-Identifier: MIT
#include "pg_servers.h"

#include "test_database.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QUrl>
#include <stdexcept>

namespace corvan::test {

namespace {

QString scriptPath()
{
    return QDir(qEnvironmentVariable("CORVAN_SOURCE_DIR"))
        .filePath(QStringLiteral("tests/support/pg_server.sh"));
}

QString psql()
{
    for (const QString& folder :
         QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (QFileInfo::exists(QStringLiteral("/usr/lib/postgresql/%1/bin/psql").arg(folder)))
            return QStringLiteral("/usr/lib/postgresql/%1/bin/psql").arg(folder);
    return QStringLiteral("psql");
}

ServerPair* sharedPair = nullptr;

} // namespace

ServerPair& ServerPair::shared()
{
    if (!sharedPair)
        sharedPair = new ServerPair(true);
    return *sharedPair;
}

void ServerPair::releaseShared()
{
    delete sharedPair;
    sharedPair = nullptr;
}

bool PgServers::script(const QStringList& arguments, QString* output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(scriptPath(), arguments);
    const bool ok = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
                    process.exitCode() == 0;
    if (output)
        *output = QString::fromUtf8(process.readAll()) + (ok ? QString() : process.errorString());
    return ok;
}

int PgServers::suitePort()
{
    return QUrl(qEnvironmentVariable("CORVAN_TEST_PG_URL")).port();
}

bool PgServers::suite(const QString& action, QString* output)
{
    // The suite's server lives in the folder above its certificates.
    const QString folder = QFileInfo(qEnvironmentVariable("CORVAN_TEST_PG_TLS")).absolutePath();
    return script({action, folder, QString::number(suitePort())}, output);
}

Outage::Outage(TestDatabase& db, Kind kind) : m_db(db), m_kind(kind) {}

Outage::~Outage()
{
    if (m_away && m_db.isPostgresql())
        PgServers::suite(QStringLiteral("resume"));
}

void Outage::begin()
{
    if (m_db.isPostgresql()) {
        const bool lasting = m_kind == Kind::Lasting;
        QString output;
        if (!PgServers::suite(lasting ? QStringLiteral("halt") : QStringLiteral("restart"), &output))
            throw std::runtime_error((QStringLiteral("cannot stop the server: ") + output).toStdString());
        m_away = lasting;
        return;
    }
    const QString path = m_db.service()->location().filePath();
    m_away = QFile::rename(path, path + QStringLiteral(".away"));
    if (!m_away)
        throw std::runtime_error("cannot move the database file away");
}

void Outage::end()
{
    if (m_away && m_db.isPostgresql()) {
        m_away = !PgServers::suite(QStringLiteral("resume"));
    } else if (m_away) {
        const QString path = m_db.service()->location().filePath();
        m_away = !QFile::rename(path + QStringLiteral(".away"), path);
    }
    // The service connects anew on its next call; the test's own reads, which do not go
    // through it, come first.
    m_db.service()->recoverConnection();
}

ServerPair::ServerPair(bool withStandby)
{
    const QStringList ports = qEnvironmentVariable("CORVAN_TEST_PG_PAIR_PORTS").split(QLatin1Char(','));
    m_primaryPort = ports.value(0).toInt();
    m_standbyPort = ports.value(1).toInt();
    if (m_primaryPort <= 0 || m_standbyPort <= 0)
        throw std::runtime_error("CORVAN_TEST_PG_PAIR_PORTS names no two ports; run the suite through ctest");
    // Under ctest the pair lives where the fixture's cleanup finds it.
    const QString fixed = qEnvironmentVariable("CORVAN_TEST_PG_PAIR_DIR");
    const QDir folder(fixed.isEmpty() ? m_folder.path() : fixed);
    m_primary = folder.filePath(QStringLiteral("primary"));
    m_standby = folder.filePath(QStringLiteral("standby"));
    QString output;
    if (!PgServers::script({QStringLiteral("start"), m_primary, QString::number(m_primaryPort)}, &output) ||
        (withStandby &&
         !PgServers::script({QStringLiteral("standby"), m_standby, QString::number(m_standbyPort), m_primary,
                             QString::number(m_primaryPort)},
                            &output)))
        throw std::runtime_error((QStringLiteral("cannot start the server pair: ") + output).toStdString());
}

ServerPair::~ServerPair()
{
    PgServers::script({QStringLiteral("stop"), m_standby, QString::number(m_standbyPort)});
    PgServers::script({QStringLiteral("stop"), m_primary, QString::number(m_primaryPort)});
}

bool ServerPair::act(const QString& action, const QString& folder, int port)
{
    return PgServers::script({action, folder, QString::number(port)});
}

QStringList ServerPair::promoteCommand() const
{
    return {scriptPath(), QStringLiteral("promote"), m_standby, QString::number(m_standbyPort)};
}

QString ServerPair::url(int port, const QString& database) const
{
    return QStringLiteral("postgresql://postgres@127.0.0.1:%1/%2").arg(port).arg(database);
}

QString ServerPair::failoverUrl(const QString& database) const
{
    return QStringLiteral(
               "postgresql://postgres@127.0.0.1:%1,127.0.0.1:%2/%3?target_session_attrs=read-write")
        .arg(m_standbyPort)
        .arg(m_primaryPort)
        .arg(database);
}

QString PgServers::value(int port, const QString& sql, const QString& database)
{
    QProcess process;
    process.start(psql(), {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                           QString::number(port), QStringLiteral("-U"), QStringLiteral("postgres"),
                           QStringLiteral("-d"), database, QStringLiteral("-Atc"), sql});
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

bool PgServers::terminate(int port, const QString& pid)
{
    // Waits until the backend is gone, so that the next call surely finds it so.
    return value(port, QStringLiteral("select pg_terminate_backend(%1, 5000)").arg(pid)) ==
           QLatin1String("t");
}

bool ServerPair::waitForStandby() const
{
    const QString written = PgServers::value(m_primaryPort, QStringLiteral("select pg_current_wal_lsn()"));
    const QString caughtUp = QStringLiteral("select pg_last_wal_replay_lsn() >= '%1'::pg_lsn").arg(written);
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 30000) {
        if (PgServers::value(m_standbyPort, caughtUp) == QLatin1String("t"))
            return true;
        QThread::msleep(20);
    }
    return false;
}

} // namespace corvan::test
