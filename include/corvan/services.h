// SPDX-License-Identifier: MIT
#pragma once

// The services a host hands to the component. Each is an abstract interface that a
// host QObject implements and declares with Q_INTERFACES; the component reaches
// them through qobject_cast, so a host object that lacks one is detected at once.

#include <memory>

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QtPlugin>

#include "corvan/record_set.h"

class QWidget;

namespace corvan {

class Sheet;

// The name under which the component reaches the resource database.
inline constexpr auto SystemDatabase = "systemDB";

// Element 6: all database access. Neither call throws.
class DataService {
public:
    virtual ~DataService() = default;
    // The rows of a query, or none when the statement fails or the database is unknown.
    virtual std::unique_ptr<RecordSet> OpenRecordset(const QString& sql, const QString& database,
                                                     qint32 options = 0) = 0;
    // True when the statement ran.
    virtual bool ExecuteSql(const QString& database, const QString& sql) = 0;
    // Why the last call failed; empty after a success.
    virtual QString LastError() const = 0;
    // Whether the last call failed only because another user held the database past the
    // wait (a lock), so that the same work may succeed when tried again. Hosts that cannot
    // tell keep the default.
    virtual bool LastErrorIsBusy() const { return false; }
};

// Optional second interface of the data service object: one transaction per database.
class TransactionService {
public:
    virtual ~TransactionService() = default;
    virtual bool BeginTrans(const QString& database) = 0;
    virtual bool CommitTrans(const QString& database) = 0;
    virtual bool RollbackTrans(const QString& database) = 0;
};

// Optional third interface of the data service object: how many rows the last successful
// ExecuteSql inserted, updated or deleted, so that a write meant to change a known number of
// rows can tell when it changed another. -1 when the host cannot tell; a host without this
// interface is taken at its word, as before.
class RowCountService {
public:
    virtual ~RowCountService() = default;
    virtual qint64 RowsAffected() const = 0;
};

// Optional fourth interface of the data service object: a connection to a database server
// (or a database file on a share), which a restart, a failover or a network drop can break.
// The host notices a broken connection on the next call and connects again with the same
// identity and settings, a few times over a few seconds with its busy indication up; that
// call is run again when it was a read outside a transaction. A transaction open when the
// connection broke is gone as a whole (the server kept none of it): every later call of it
// fails until it is rolled back. The object emits the signal connectionChanged() whenever
// ConnectionState or ServerName change, also in the middle of a call. A host without this
// interface reports a broken connection as any other failure.
class ConnectionService {
public:
    enum class State {
        Connected,    // working on ServerName
        Reconnecting, // the connection broke; connecting again
        Unreachable,  // the tries so far failed; the host keeps trying, at the latest on the next call
    };
    virtual ~ConnectionService() = default;
    // Whether the last call failed because the connection was lost or could not be made.
    // When the last call was a commit, the host cannot tell whether the server had
    // committed before the connection broke: the caller looks for what it wrote.
    virtual bool LastErrorIsConnectionLost() const = 0;
    virtual State ConnectionState() const = 0;
    // The server connected to now, as HOST:PORT (or the database file); while it is not
    // reached, the servers being tried. Never a password.
    virtual QString ServerName() const = 0;
    // The signal, implemented by the host object's moc (declare it under signals:).
    virtual void connectionChanged() = 0;
};

// Optional fifth interface of the data service object: reads that report what was written
// (the history, its chart and exports) may be served by a standby server, which spares the
// primary. The host uses one only while it is no more than the host's allowed delay behind
// the primary, and never inside a transaction; otherwise the read goes where OpenRecordset
// goes. Never used for a read that a write depends on.
class StandbyReadService {
public:
    virtual ~StandbyReadService() = default;
    virtual std::unique_ptr<RecordSet> OpenReportRecordset(const QString& sql, const QString& database) = 0;
};

// Optional sixth interface of the data service object: writers serialised by the cities they
// write rather than all at once. Right after BeginTrans the component names every city its
// transaction will write (a relocation: the BTS's city and the target room's; a reversal: both
// cities of the record; a plan: every city of its rows); the host locks them, in an order of
// its own so that two writers never deadlock, until the transaction ends. Writers of other
// cities go on meanwhile. False, with LastError (and LastErrorIsBusy when another writer held a
// city past the host's wait), when a city could not be locked: the caller rolls back. A host
// without this interface serialises its transactions its own way, as BeginTrans says.
class CityLockService {
public:
    virtual ~CityLockService() = default;
    virtual bool LockCities(const QStringList& cityIds) = 0;
    // Whether writers are serialised by city now; when not, LockCities has nothing to do and
    // the component need not read which cities a transaction writes before it begins.
    virtual bool LocksByCity() const = 0;
};

// Optional seventh interface of the data service object: after a CommitTrans that failed,
// whether the commit never reached the database: the host refused to send it (the database's
// file had gone from its place) or found the transaction already gone with its connection. The
// database then holds nothing of the transaction, and the caller need not look for what it
// wrote. Without this interface a lost commit is settled by looking.
class CommitOutcomeService {
public:
    virtual ~CommitOutcomeService() = default;
    virtual bool LastCommitNotSent() const = 0;
};

// Optional eighth interface of the data service object: a write whose values travel beside its
// text instead of inside it. Each "?" of the statement that stands outside a quoted text takes
// the next value, a text (a null QString is null). A long value (a journal entry) is then never
// quoted, nor parsed by the engine as part of the statement. It reports, counts its rows and
// fails as ExecuteSql does; a trace shows the statement with its values after it. Without this
// interface the values are written into the statement as quoted texts.
class BoundWriteService {
public:
    virtual ~BoundWriteService() = default;
    virtual bool ExecuteBound(const QString& database, const QString& sql, const QStringList& values) = 0;
};

// Element 3: who and where the user is.
class ContextService {
public:
    virtual ~ContextService() = default;
    virtual qint16 CurrentProvinceId() = 0;
    virtual QString CurrentProvinceName() = 0;
    virtual QString CurrentUser() = 0;
};

// Element 7: the user's rights per function number.
class RightService {
public:
    virtual ~RightService() = default;
    // City identifiers, separated by commas, ready to stand inside an SQL in-list.
    virtual QString GetRightCityList(const QString& function) = 0;
    virtual bool HasCityRight(const QString& function, const QString& cityId) = 0;
};

// Element 5: messages to the user.
class MessageService {
public:
    virtual ~MessageService() = default;
    virtual void ShowMessage(const QString& text) = 0;
};

// Element 2: busy indication and small text helpers.
class UiService {
public:
    virtual ~UiService() = default;
    // Calls nest; every BeginWait is balanced by one EndWait.
    virtual void BeginWait(QWidget* window) = 0;
    virtual void EndWait() = 0;
    // The item at a position (from 1) of the text split at the separator; empty past the end.
    virtual QString GetTextField(const QString& text, const QString& separator, int position) = 0;
};

// Optional second interface of the busy-indication object: long work shown as it goes. The
// host shows nothing for work that ends within a moment; past that, a dialog over the window
// counts the steps done and offers to cancel, and the windows keep being painted. A Begin
// while work is shown takes over the same dialog (label and total) until its End.
class ProgressService {
public:
    virtual ~ProgressService() = default;
    // Work of total steps begins (0: a number not known beforehand); cancellable when it can
    // stop before its end without leaving anything half done.
    virtual void BeginProgress(QWidget* window, const QString& label, qint64 total, bool cancellable) = 0;
    // So many steps are done. False once the user asked to cancel: the work stops where it
    // safely can and says so.
    virtual bool StepProgress(qint64 done) = 0;
    virtual void EndProgress() = 0;
};

// Element 1: styling, clearing, export and print of the component's sheets.
// Colours are numbers in 0x00BBGGRR order.
class SheetService {
public:
    virtual ~SheetService() = default;
    virtual void StyleRange(Sheet* sheet, int row1, int col1, int row2, int col2, qint32 foreground,
                            qint32 background, int bold, int fontSize, int wrap) = 0;
    virtual void AlignRange(Sheet* sheet, int row1, int col1, int row2, int col2, bool merge) = 0;
    virtual void PrepareSheet(Sheet* sheet) = 0;
    virtual void PrepareSheetView(Sheet* sheet) = 0;
    virtual void ClearSheet(Sheet* sheet, bool all) = 0;
    virtual bool ExportSheet(Sheet* sheet, const QString& title, bool ask) = 0;
    virtual bool PrintSheet(Sheet* sheet) = 0;
};

// Optional second interface of the sheet service object: several sheets as the worksheets
// of one workbook, each under its name, in order; the user is asked where the file goes
// when ask is set. True when the workbook was written. (ExportSheet and this show their
// progress as the host's ProgressService does; a cancelled export writes no file and is
// not a success.)
class WorkbookService {
public:
    virtual ~WorkbookService() = default;
    virtual bool ExportWorkbook(const QList<Sheet*>& sheets, const QStringList& names, const QString& title,
                                bool ask) = 0;
};

// Optional third interface of the sheet service object: several sheets printed as one
// document, each under its name, in order (the first sheet's window gives the title).
// True when the printout was shown.
class WorkbookPrintService {
public:
    virtual ~WorkbookPrintService() = default;
    virtual bool PrintWorkbook(const QList<Sheet*>& sheets, const QStringList& names) = 0;
};

// A worksheet of texts, as a spreadsheet file holds one: its name and its rows from the
// first, each row's texts from column A. For writing, also each column's width in
// characters (0 or missing: the writer's own) and the values a column's cells may take,
// offered as a drop-down list (empty: any text).
struct TextSheet {
    QString name;
    QList<QStringList> rows;
    QList<int> widths;
    QList<QStringList> choices;
    bool hidden = false;
};

// Optional fourth interface of the sheet service object: worksheets of texts read from and
// written to files by path, without asking anyone (the caller chose the file). Each call
// tells why it failed in one line.
class TextWorkbookService {
public:
    virtual ~TextWorkbookService() = default;
    // One worksheet of a file: of an .xlsx workbook the one named sheet, else its first; a
    // .csv file in UTF-8 (with or without a byte-order mark) or in GB18030. Every cell as
    // text: numbers as a spreadsheet shows them in its general format, dates (serial numbers
    // in a date format) as yyyy-mm-dd, a time of day after a blank. digest is the SHA-256 of
    // the file's bytes, those read.
    virtual bool ReadTextSheet(const QString& path, const QString& sheet, TextSheet* out, QByteArray* digest,
                               QString* error) = 0;
    // The worksheets as one .xlsx workbook, every cell a text; the file appears whole or not
    // at all.
    virtual bool WriteTextWorkbook(const QString& path, const QList<TextSheet>& sheets, QString* error) = 0;
};

// Element 4: the host application itself. The component keeps it and calls nothing on it.
class ApplicationService {
public:
    virtual ~ApplicationService() = default;
    virtual QString ApplicationName() const = 0;
};

// Optional second interface of the application object: what the host can tell its user
// about the place it works in, for a status bar or an About box. Never a secret: a
// password or key stays out of every text.
class HostInfoService {
public:
    virtual ~HostInfoService() = default;
    // The database in use: an SQLite file's path, or the server and database name.
    virtual QString DatabaseDescription() const = 0;
    // The host's name and version, as one line.
    virtual QString HostVersion() const = 0;
};

// Element 14 is a plain QObject whose invokable members are called by name:
//   bool ShowProperty(QString view, QString code)
//   bool GetResourceData(QString view, QString code, corvan::AttrTable* out, bool,
//                        QString keyView, bool, QObject** outObject)
// and, where the host offers it, the captions of a view's or table's columns:
//   bool GetFieldCaptions(QString view, QStringList* fields, QStringList* captions)
// and the data types of those columns ("char", "custom", "num", "int", "date", "pic"):
//   bool GetFieldTypes(QString view, QStringList* fields, QStringList* types)

} // namespace corvan

Q_DECLARE_INTERFACE(corvan::DataService, "corvan.DataService/1.0")
Q_DECLARE_INTERFACE(corvan::TransactionService, "corvan.TransactionService/1.0")
Q_DECLARE_INTERFACE(corvan::RowCountService, "corvan.RowCountService/1.0")
Q_DECLARE_INTERFACE(corvan::ConnectionService, "corvan.ConnectionService/1.0")
Q_DECLARE_INTERFACE(corvan::StandbyReadService, "corvan.StandbyReadService/1.0")
Q_DECLARE_INTERFACE(corvan::CityLockService, "corvan.CityLockService/1.0")
Q_DECLARE_INTERFACE(corvan::CommitOutcomeService, "corvan.CommitOutcomeService/1.0")
Q_DECLARE_INTERFACE(corvan::BoundWriteService, "corvan.BoundWriteService/1.0")
Q_DECLARE_INTERFACE(corvan::ContextService, "corvan.ContextService/1.0")
Q_DECLARE_INTERFACE(corvan::RightService, "corvan.RightService/1.0")
Q_DECLARE_INTERFACE(corvan::MessageService, "corvan.MessageService/1.0")
Q_DECLARE_INTERFACE(corvan::UiService, "corvan.UiService/1.0")
Q_DECLARE_INTERFACE(corvan::ProgressService, "corvan.ProgressService/1.0")
Q_DECLARE_INTERFACE(corvan::SheetService, "corvan.SheetService/1.0")
Q_DECLARE_INTERFACE(corvan::WorkbookService, "corvan.WorkbookService/1.0")
Q_DECLARE_INTERFACE(corvan::WorkbookPrintService, "corvan.WorkbookPrintService/1.0")
Q_DECLARE_INTERFACE(corvan::TextWorkbookService, "corvan.TextWorkbookService/1.0")
Q_DECLARE_INTERFACE(corvan::ApplicationService, "corvan.ApplicationService/1.0")
Q_DECLARE_INTERFACE(corvan::HostInfoService, "corvan.HostInfoService/1.0")
