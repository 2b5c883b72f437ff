// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>

#include "corvan/attr_table.h"
#include "corvan/services.h"

namespace corvan::host {
class ResourceViewServiceImpl;
}

namespace corvan::bench {

// One statement the component had run, as the raw engine replays it: a query or command
// with its text, a transaction's begin and end, or the host's one statement of a record
// for GetResourceData (text with one "?" and the code as its value). A command sent with bound
// values keeps them beside its text, as a record's statement keeps its code.
struct Sent {
    enum class Kind { Query, Command, Begin, Commit, Rollback, Record };
    Kind kind;
    QString sql;
    QStringList values;
    qint64 doneNs = 0; // when the call returned, on the recorder's clock
};

// Stands between the component and the host's services, passing every call through and
// keeping what reached the database, so the benchmark can count it and replay it raw.
class BenchRecorder : public QObject,
                      public DataService,
                      public TransactionService,
                      public RowCountService,
                      public BoundWriteService {
    Q_OBJECT
    Q_INTERFACES(
        corvan::DataService corvan::TransactionService corvan::RowCountService corvan::BoundWriteService)

public:
    BenchRecorder(QObject* data, host::ResourceViewServiceImpl* resources);

    std::unique_ptr<RecordSet> OpenRecordset(const QString& sql, const QString& database,
                                             qint32 options) override;
    bool ExecuteSql(const QString& database, const QString& sql) override;
    bool ExecuteBound(const QString& database, const QString& sql, const QStringList& values) override;
    QString LastError() const override { return m_data->LastError(); }
    bool LastErrorIsBusy() const override { return m_data->LastErrorIsBusy(); }
    qint64 RowsAffected() const override { return m_counts ? m_counts->RowsAffected() : -1; }
    bool BeginTrans(const QString& database) override;
    bool CommitTrans(const QString& database) override;
    bool RollbackTrans(const QString& database) override;

    // The resource view service's members, called by name as the component calls them.
    Q_INVOKABLE bool ShowProperty(const QString& view, const QString& code);
    Q_INVOKABLE bool GetResourceData(const QString& view, const QString& code, corvan::AttrTable* out,
                                     bool withValues, const QString& keyView, bool withCaptions,
                                     QObject** outObject);
    Q_INVOKABLE bool GetFieldCaptions(const QString& view, QStringList* fields, QStringList* captions);

    void clear() { m_sent.clear(); }
    // A rehearsal rolls back where the component commits: what a commit sends, without its effect.
    void setRehearsal(bool rehearsal) { m_rehearsal = rehearsal; }
    // The recorder's clock, which Sent::doneNs is read on.
    qint64 now() const { return m_clock.nsecsElapsed(); }
    const QVector<Sent>& sent() const { return m_sent; }
    // Statements that reached the engine (transaction brackets left out), of all sent or of
    // those sent from one point to another.
    int statements() const { return statements(m_sent); }
    static int statements(const QVector<Sent>& sent);
    // What was sent, statement by statement: each kind of statement once, its literals left
    // out, with how many times it was sent ("3× select roomname from res_baseroom where roomcode='…'").
    static QString shapes(const QVector<Sent>& sent);

private:
    DataService* m_data;
    TransactionService* m_transactions;
    RowCountService* m_counts;
    BoundWriteService* m_bound;
    host::ResourceViewServiceImpl* m_resources;
    QVector<Sent> m_sent;
    QElapsedTimer m_clock;
    bool m_rehearsal = false;
};

} // namespace corvan::bench
