// SPDX-License-Identifier: MIT
#pragma once

#include "data/sql_data_service.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace corvan::test {

// Another process on the same SQLite file (the command line, a second corvan), as the sqlite3
// program: it waits for no lock, and says "database is locked" where it meets one.
struct SecondProcess {
    int exitCode = -1;
    QString output;

    static SecondProcess run(const QString& file, const QString& sql)
    {
        QProcess process;
        process.start(QStringLiteral("sqlite3"), {QStringLiteral("-bail"), QStringLiteral("-cmd"),
                                                  QStringLiteral(".timeout 0"), file, sql});
        SecondProcess result;
        if (!process.waitForFinished(60000)) {
            result.output = QStringLiteral("sqlite3 did not run: ") + process.errorString();
            return result;
        }
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.output =
            QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError()).trimmed();
        return result;
    }
    bool busy() const { return exitCode != 0 && output.contains(QStringLiteral("database is locked")); }
};

// What a file dialog, a thumbnailer or a plan read from the wrong file does in this process:
// opens every file of the folder, reads a little and closes it again.
inline int lookIntoEveryFile(const QString& folder)
{
    int looked = 0;
    const auto files = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo& info : files) {
        QFile file(info.absoluteFilePath());
        if (file.open(QIODevice::ReadOnly)) {
            file.read(100);
            file.close();
            ++looked;
        }
    }
    return looked;
}

// The locks the kernel holds on the file, by anyone (/proc/locks, matched by inode).
inline int locksOn(const QString& file)
{
    struct stat status {};
    if (::stat(QFile::encodeName(file).constData(), &status) != 0)
        return -1;
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    const QString inode = QStringLiteral(":%1 ").arg(quint64(status.st_ino));
    int count = 0;
    for (const QByteArray& line : locks.readAll().split('\n'))
        count += QString::fromLatin1(line).contains(inode) ? 1 : 0;
    return count;
}

// The proof that this process still holds its locks on the file: while it writes in a
// transaction a second process's write (insert) is refused as busy; after the commit the second
// process writes, and closing, finds this one still there and leaves the WAL in place. Both the
// statements insert a row that must then be there.
inline void expectLocksHeld(host::SqlDataService& service, const QString& file, const QString& ours,
                            const QString& theirs)
{
    const QString system = QStringLiteral("systemDB");
    ASSERT_TRUE(service.BeginTrans(system));
    ASSERT_TRUE(service.ExecuteSql(system, ours)) << service.LastError().toStdString();
    const SecondProcess refused = SecondProcess::run(file, theirs);
    EXPECT_TRUE(refused.busy()) << refused.output.toStdString();
    ASSERT_TRUE(service.CommitTrans(system)) << service.LastError().toStdString();
    const SecondProcess written = SecondProcess::run(file, theirs);
    EXPECT_EQ(written.exitCode, 0) << written.output.toStdString();
    EXPECT_TRUE(QFile::exists(file + QStringLiteral("-wal")));
}

} // namespace corvan::test
