// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QStringList>

#include "corvan/services.h"

namespace corvan::test {

// A host's data service without transactions: statements reach the real service one by
// one, and chosen ones fail, as on a host that offers only DataService.
class PlainDataService : public QObject, public DataService {
    Q_OBJECT
    Q_INTERFACES(corvan::DataService)

public:
    explicit PlainDataService(DataService* real) : m_real(real) {}

    std::unique_ptr<RecordSet> OpenRecordset(const QString& sql, const QString& database,
                                             qint32 options) override
    {
        m_statements << sql;
        return fails(sql) ? nullptr : m_real->OpenRecordset(sql, database, options);
    }
    bool ExecuteSql(const QString& database, const QString& sql) override
    {
        m_statements << sql;
        return !fails(sql) && m_real->ExecuteSql(database, sql);
    }
    QString LastError() const override { return m_real->LastError(); }
    bool LastErrorIsBusy() const override { return m_real->LastErrorIsBusy(); }

    void failWhen(std::function<bool(const QString&)> predicate) { m_failWhen = std::move(predicate); }
    QStringList statements() const { return m_statements; }

private:
    bool fails(const QString& sql) const { return m_failWhen && m_failWhen(sql); }

    DataService* m_real;
    std::function<bool(const QString&)> m_failWhen;
    QStringList m_statements;
};

} // namespace corvan::test
