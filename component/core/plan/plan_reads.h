// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include "corvan/record_set.h"
#include "corvan/services.h"

namespace corvan {

// The data service a relocation plan's rows work through: the host's own, with every query
// that reads only tables no relocation writes (rules, field rules, key fields, divisions,
// extents: none of res_*, v_res_*, h_btsdispatch, corvan_journal, corvan_plan) answered
// from what it read the first time. A plan of a thousand rows reads its networks' rules and
// its cities' lists once, not a thousand times; whatever a row's relocation may have
// changed is read anew every time. Writes and transactions go straight through: a plan
// works only on a host whose data service has transactions, which the plan checks first.
class PlanReads : public QObject,
                  public DataService,
                  public TransactionService,
                  public RowCountService,
                  public CityLockService,
                  public BoundWriteService {
    Q_OBJECT
    Q_INTERFACES(corvan::DataService corvan::TransactionService corvan::RowCountService
                     corvan::CityLockService corvan::BoundWriteService)

public:
    // data: the host's data service object; its transactions and row counts where it offers them.
    explicit PlanReads(QObject* data, QObject* parent = nullptr);

    std::unique_ptr<RecordSet> OpenRecordset(const QString& sql, const QString& database,
                                             qint32 options = 0) override;
    bool ExecuteSql(const QString& database, const QString& sql) override;
    // Bound where the host binds, else with the values written into the statement.
    bool ExecuteBound(const QString& database, const QString& sql, const QStringList& values) override;
    QString LastError() const override;
    bool LastErrorIsBusy() const override;
    bool BeginTrans(const QString& database) override;
    bool CommitTrans(const QString& database) override;
    bool RollbackTrans(const QString& database) override;
    qint64 RowsAffected() const override;
    bool LockCities(const QStringList& cityIds) override;
    bool LocksByCity() const override;

    // Statements that reached the host's data service.
    int sent() const { return m_sent; }

    // Whether a query's answer may be kept: it reads no table a relocation writes.
    static bool keepable(const QString& sql);

private:
    QPointer<QObject> m_data;
    QHash<QString, RecordSet> m_kept;
    int m_sent = 0;
};

} // namespace corvan
