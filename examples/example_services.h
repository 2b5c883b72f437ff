// SPDX-License-Identifier: MIT
#pragma once

#include <corvan/attr_table.h>
#include <corvan/services.h>

#include <QObject>
#include <QSqlDatabase>
#include <QString>

namespace example {

// Every service but the data: elements 1, 2, 3, 4, 5, 7 and 14 of the object array. The
// component checks each element for the interface its subscript needs, so one object may
// fill several subscripts; the reference host uses one object per service instead.
//
// This host keeps it simple: the user works in the database's first province, may see
// every city of it, and resource records are shown field by field as the view's columns.
class ExampleServices : public QObject,
                        public corvan::SheetService,
                        public corvan::UiService,
                        public corvan::ContextService,
                        public corvan::ApplicationService,
                        public corvan::MessageService,
                        public corvan::RightService {
    Q_OBJECT
    Q_INTERFACES(corvan::SheetService corvan::UiService corvan::ContextService corvan::ApplicationService
                     corvan::MessageService corvan::RightService)

public:
    // False when the database holds no province to work in.
    bool open(const QSqlDatabase& db);

    // 1: sheets. Colours are 0x00BBGGRR.
    void StyleRange(corvan::Sheet* sheet, int row1, int col1, int row2, int col2, qint32 foreground,
                    qint32 background, int bold, int fontSize, int wrap) override;
    void AlignRange(corvan::Sheet* sheet, int row1, int col1, int row2, int col2, bool merge) override;
    void PrepareSheet(corvan::Sheet* sheet) override;
    void PrepareSheetView(corvan::Sheet* sheet) override;
    void ClearSheet(corvan::Sheet* sheet, bool all) override;
    bool ExportSheet(corvan::Sheet* sheet, const QString& title, bool ask) override;
    bool PrintSheet(corvan::Sheet* sheet) override;
    // 2: busy cursor and text helpers.
    void BeginWait(QWidget* window) override;
    void EndWait() override;
    QString GetTextField(const QString& text, const QString& separator, int position) override;
    // 3: who and where.
    qint16 CurrentProvinceId() override { return m_provinceId; }
    QString CurrentProvinceName() override { return m_provinceName; }
    QString CurrentUser() override;
    // 4: the host itself.
    QString ApplicationName() const override { return QStringLiteral("corvan example host"); }
    // 5: messages.
    void ShowMessage(const QString& text) override;
    // 7: rights.
    QString GetRightCityList(const QString& function) override;
    bool HasCityRight(const QString& function, const QString& cityId) override;

    // 14: called by name, so these two are invokable with exactly these parameter types.
    Q_INVOKABLE bool ShowProperty(const QString& view, const QString& code);
    Q_INVOKABLE bool GetResourceData(const QString& view, const QString& code, corvan::AttrTable* out,
                                     bool withValues, const QString& keyView, bool withCaptions,
                                     QObject** outObject);

private:
    QSqlDatabase m_db;
    qint16 m_provinceId = 0;
    QString m_provinceName;
    QStringList m_cities;
    int m_waits = 0;
};

} // namespace example
