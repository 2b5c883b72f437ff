// SPDX-License-Identifier: MIT
#pragma once

#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>

namespace corvan::test {

// A fresh, empty database of the engine the suite runs on (CORVAN_TEST_ENGINE): a SQLite file in
// a temporary directory, or a database of its own on the PostgreSQL server that
// CORVAN_TEST_PG_URL names (postgresql://USER@HOST:PORT/NAME), dropped again at the end.
class ScratchDatabase {
public:
    ScratchDatabase()
    {
        using namespace Qt::StringLiterals;
        const quint32 id = QRandomGenerator::global()->generate();
        connection_ = u"scratch_%1"_s.arg(id, 8, 16, QChar(u'0'));
        if (!usesPostgreSQL()) {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection_);
            db.setDatabaseName(dir_.filePath(u"scratch.db"_s));
            if (!db.open())
                error_ = db.lastError().text();
            return;
        }
        url_ = QUrl(qEnvironmentVariable("CORVAN_TEST_PG_URL"));
        if (!url_.isValid() || url_.host().isEmpty()) {
            error_ = u"CORVAN_TEST_PG_URL is not set to postgresql://USER@HOST:PORT/NAME"_s;
            return;
        }
        name_ = u"t_"_s + connection_;
        if (!runOnServer(u"create database "_s + name_))
            return;
        QSqlDatabase db = connect(connection_, name_);
        if (!db.open())
            error_ = db.lastError().text();
    }

    ~ScratchDatabase()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(connection_, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(connection_);
        if (!name_.isEmpty())
            runOnServer(QStringLiteral("drop database if exists %1 with (force)").arg(name_));
    }

    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    static bool usesPostgreSQL()
    {
        return qEnvironmentVariable("CORVAN_TEST_ENGINE") == QLatin1String("postgresql");
    }

    QSqlDatabase db() const { return QSqlDatabase::database(connection_, false); }
    bool isOpen() const { return error_.isEmpty() && db().isOpen(); }
    QString error() const { return error_; }

private:
    QSqlDatabase connect(const QString& connection, const QString& database) const
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        db.setHostName(url_.host());
        db.setPort(url_.port(5432));
        db.setUserName(url_.userName());
        db.setPassword(url_.password());
        db.setDatabaseName(database);
        return db;
    }

    // Creating and dropping databases happens on the server's own database, named in the URL.
    bool runOnServer(const QString& statement)
    {
        const QString connection = connection_ + QStringLiteral("_server");
        bool ok = false;
        {
            QSqlDatabase server = connect(connection, url_.path().mid(1));
            if (server.open()) {
                QSqlQuery query(server);
                ok = query.exec(statement);
                if (!ok)
                    error_ = query.lastError().text();
            } else {
                error_ = server.lastError().text();
            }
            server.close();
        }
        QSqlDatabase::removeDatabase(connection);
        return ok;
    }

    QTemporaryDir dir_;
    QUrl url_;
    QString connection_;
    QString name_;
    QString error_;
};

} // namespace corvan::test
