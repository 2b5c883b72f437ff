// SPDX-License-Identifier: MIT
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

namespace corvan::host {

// The statement log that support staff and audits read: one tab-separated line per
// call that reached the data service, appended and flushed at once so that a crash
// loses nothing that ran before it.
class SqlTrace {
public:
    // Connect: a connection made again after one broke; its statement column names the
    // server reached, or the servers tried and why none answered.
    enum class Call { Open, Exec, Begin, Commit, Rollback, Connect };

    SqlTrace() = default;
    SqlTrace(const SqlTrace&) = delete;
    SqlTrace& operator=(const SqlTrace&) = delete;

    // Opens the file for appending, creating it readable and writable by its owner only; an
    // empty path stops tracing.
    bool setFile(const QString& path, QString* error);
    bool isActive() const { return m_file.isOpen(); }

    // rows < 0 is written as "-".
    void write(Call call, bool ok, qint64 rows, const QString& statement);

    // One physical line per statement: backslash, tab, CR and LF become \\, \t, \r, \n.
    static QString escape(const QString& statement);
    static QString line(Call call, bool ok, qint64 rows, const QString& statement);
    // What the trace shows of a statement sent with bound values: the statement, then " -- " and
    // the values as literals (null, or quoted with quotes doubled), separated by commas.
    static QString bound(const QString& statement, const QStringList& values);

private:
    QFile m_file;
};

} // namespace corvan::host
