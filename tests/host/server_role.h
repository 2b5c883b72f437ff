// SPDX-License-Identifier: MIT
#pragma once

#include "data/database_location.h"
#include "support/test_database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringList>
#include <QUrl>
#include <stdexcept>

namespace corvan::test {

// A user of the test server, added the way the owner adds one (corvan_add_user): a login role
// of its own with a password, its cities of function 13 in the database. Roles belong to the
// server, which is thrown away after the suite, so each gets a name never used before.
class ServerRole {
public:
    ServerRole(TestDatabase& db, const QStringList& cities, bool mayRelocate = true) : m_db(db)
    {
        static int counter = 0;
        m_name = QStringLiteral("corvan_t%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
        m_password =
            QStringLiteral("pw-%1").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        db.exec(QStringLiteral("select corvan_add_user('%1', '%2', array['%3']::text[], %4)")
                    .arg(m_name, m_password, cities.join(QLatin1String("','")),
                         mayRelocate ? QStringLiteral("true") : QStringLiteral("false")));
    }

    QString name() const { return m_name; }
    QString password() const { return m_password; }

    // The database's URL for this role, over TLS checked against the given root certificate
    // (the test server's own by default). Without the password: that comes from PGPASSWORD.
    QString url(const QString& rootCertificate = tlsFile(QStringLiteral("root.crt"))) const
    {
        host::DatabaseLocation owner;
        QString error;
        if (!host::DatabaseLocation::parse(m_db.location(), &owner, &error))
            throw std::runtime_error(error.toStdString());
        return QStringLiteral("postgresql://%1@%2:%3/%4?sslmode=verify-full&sslrootcert=%5")
            .arg(m_name, owner.hostName())
            .arg(owner.port())
            .arg(owner.databaseName(), QString::fromUtf8(QUrl::toPercentEncoding(rootCertificate, "/")));
    }
    // The same with the password in it, for a connection made inside the test.
    QString urlWithPassword() const
    {
        QString text = url();
        return text.insert(text.indexOf(QLatin1Char('@')), QLatin1Char(':') + m_password);
    }

    // A file of the test server's TLS folder (CORVAN_TEST_PG_TLS): root.crt, the CA that
    // signed the server's certificate, or stranger.crt, a CA that signed nothing of it.
    static QString tlsFile(const QString& name)
    {
        const QString folder = qEnvironmentVariable("CORVAN_TEST_PG_TLS");
        if (folder.isEmpty() || !QFileInfo::exists(QDir(folder).filePath(name)))
            throw std::runtime_error(
                "CORVAN_TEST_PG_TLS names no folder with the test server's certificates; "
                "run the suite through ctest, which makes them");
        return QDir(folder).filePath(name);
    }

private:
    TestDatabase& m_db;
    QString m_name;
    QString m_password;
};

} // namespace corvan::test
