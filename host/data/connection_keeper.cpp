// SPDX-License-Identifier: MIT
#include "data/connection_keeper.h"

#include <QThread>
#include <libpq-fe.h>
#include <sqlite3.h>

namespace corvan::host {

FailureKind ConnectionKeeper::postgresqlFailure(const QString& sqlstate, pg_conn* connection)
{
    // libpq marks the connection bad once the server has gone, whatever it managed to say
    // before it went (a shutdown, a terminated backend) or did not (a crash, a dropped link).
    if (connection && PQstatus(connection) == CONNECTION_BAD)
        return FailureKind::ConnectionLost;
    // connection_exception, admin_shutdown, crash_shutdown, cannot_connect_now.
    if (sqlstate.startsWith(QLatin1String("08")) || sqlstate == QLatin1String("57P01") ||
        sqlstate == QLatin1String("57P02") || sqlstate == QLatin1String("57P03"))
        return FailureKind::ConnectionLost;
    // lock_not_available (a lock_timeout that ran out), deadlock_detected.
    if (sqlstate == QLatin1String("55P03") || sqlstate == QLatin1String("40P01"))
        return FailureKind::Busy;
    return FailureKind::Other;
}

FailureKind ConnectionKeeper::sqliteFailure(const QString& code)
{
    bool number = false;
    const int value = code.toInt(&number);
    if (!number)
        return FailureKind::Other;
    // Extended codes keep the primary one in their low byte.
    switch (value & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return FailureKind::Busy;
    case SQLITE_READONLY:
        // A file moved away since it was opened is refused as read-only by SQLite itself.
        return value == SQLITE_READONLY_DBMOVED ? FailureKind::FileGone : FailureKind::ReadOnly;
    case SQLITE_FULL:
        return FailureKind::DiskFull;
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB:
        return FailureKind::FileGone;
    default:
        return FailureKind::Other;
    }
}

bool ConnectionKeeper::sqliteFileMoved(sqlite3* handle)
{
    int moved = 0;
    return handle && sqlite3_file_control(handle, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK &&
           moved != 0;
}

QString ConnectionKeeper::fileFailureText(FailureKind kind, const QString& path)
{
    switch (kind) {
    case FailureKind::FileGone:
        return QStringLiteral(
                   "数据库文件 %1 已不在原处（被删除、移走，或所在的网络共享已断开），未写入任何数据。")
            .arg(path);
    case FailureKind::ReadOnly:
        return QStringLiteral(
                   "数据库文件 %1 现在是只读的（文件或所在的磁盘、共享只允许读取），未写入任何数据。")
            .arg(path);
    case FailureKind::DiskFull:
        return QStringLiteral("数据库文件 %1 所在的磁盘已满，未写入任何数据。").arg(path);
    default:
        return {};
    }
}

void ConnectionKeeper::connected(const QString& server)
{
    m_state = State::Connected;
    m_server = server;
}

bool ConnectionKeeper::lost(const QString& servers)
{
    const bool news = m_state == State::Connected;
    if (news)
        m_state = State::Reconnecting;
    m_server = servers;
    return news;
}

bool ConnectionKeeper::reconnect(const std::function<bool()>& attempt, const std::function<void()>& changed)
{
    const bool firstOutage = m_state != State::Unreachable;
    const qsizetype tries = firstOutage ? std::max<qsizetype>(1, m_schedule.size()) : 1;
    for (qsizetype i = 0; i < tries; ++i) {
        const int wait = firstOutage ? m_schedule.value(i) : 0;
        if (wait > 0)
            QThread::msleep(ulong(wait));
        if (attempt()) {
            changed();
            return true;
        }
        if (m_state != State::Unreachable) {
            m_state = State::Unreachable;
            changed();
        }
    }
    return false;
}

} // namespace corvan::host
