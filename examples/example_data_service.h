// SPDX-License-Identifier: MIT
#pragma once

#include <corvan/services.h>

#include <QObject>
#include <QSqlDatabase>
#include <QString>

namespace example {

// Element 6 of the object array: every statement of the component, on one SQLite file
// that the component knows as "systemDB". Offering TransactionService as well makes the
// component commit a relocation as one transaction.
class ExampleDataService : public QObject, public corvan::DataService, public corvan::TransactionService {
    Q_OBJECT
    Q_INTERFACES(corvan::DataService corvan::TransactionService)

public:
    explicit ExampleDataService(QObject* parent = nullptr);
    ~ExampleDataService() override;

    // Opens the file and gives the connection the SQL functions the component's
    // statements use. False, with LastError(), when that fails.
    bool open(const QString& path);
    QSqlDatabase database() const;

    std::unique_ptr<corvan::RecordSet> OpenRecordset(const QString& sql, const QString& database,
                                                     qint32 options = 0) override;
    bool ExecuteSql(const QString& database, const QString& sql) override;
    QString LastError() const override { return m_lastError; }

    bool BeginTrans(const QString& database) override;
    bool CommitTrans(const QString& database) override;
    bool RollbackTrans(const QString& database) override;

private:
    bool known(const QString& database);
    bool run(const QString& sql);

    QString m_connection;
    QString m_lastError;
};

} // namespace example
