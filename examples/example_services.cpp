// SPDX-License-Identifier: MIT
#include "example_services.h"

#include <corvan/controls/sheet.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTextStream>
#include <QVBoxLayout>

namespace example {

namespace {

QColor colour(qint32 bbggrr)
{
    const auto v = quint32(bbggrr);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

QString quoted(const QString& text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QLatin1String("''")) +
           QLatin1Char('\'');
}

} // namespace

bool ExampleServices::open(const QSqlDatabase& db)
{
    m_db = db;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("select pro_id, pro_name from com_province order by pro_id")) ||
        !query.next())
        return false;
    m_provinceId = qint16(query.value(0).toInt());
    m_provinceName = query.value(1).toString();
    const QString provinceId = query.value(0).toString();
    query.prepare(QStringLiteral("select city_id from com_city where pro_id = ? order by showserial"));
    query.addBindValue(provinceId);
    if (!query.exec())
        return false;
    while (query.next())
        m_cities.append(query.value(0).toString());
    return true;
}

void ExampleServices::StyleRange(corvan::Sheet* sheet, int row1, int col1, int row2, int col2,
                                 qint32 foreground, qint32 background, int, int fontSize, int)
{
    for (int r = std::max(row1, 1); sheet && r <= std::min(row2, sheet->MaxRow()); ++r)
        for (int c = std::max(col1, 1); c <= std::min(col2, sheet->MaxCol()); ++c) {
            sheet->setCellForeground(r, c, colour(foreground));
            sheet->setCellBackground(r, c, colour(background));
            if (fontSize > 0)
                sheet->setCellFontSize(r, c, fontSize);
        }
}

void ExampleServices::AlignRange(corvan::Sheet* sheet, int row1, int col1, int row2, int col2, bool merge)
{
    if (!sheet)
        return;
    if (merge)
        sheet->setSpan(row1, col1, row2, col2);
    for (int r = row1; r <= row2; ++r)
        for (int c = col1; c <= col2; ++c)
            sheet->setCellAlignment(r, c, Qt::AlignCenter);
}

void ExampleServices::PrepareSheet(corvan::Sheet* sheet)
{
    if (sheet)
        sheet->setReadOnly(true);
}

void ExampleServices::PrepareSheetView(corvan::Sheet* sheet)
{
    PrepareSheet(sheet);
}

void ExampleServices::ClearSheet(corvan::Sheet* sheet, bool)
{
    if (!sheet)
        return;
    sheet->clearSpans();
    sheet->clearRange(1, 1, sheet->MaxRow(), sheet->MaxCol());
    sheet->setMaxRow(1);
}

// Export as comma-separated text, which any spreadsheet opens.
bool ExampleServices::ExportSheet(corvan::Sheet* sheet, const QString& title, bool ask)
{
    if (!sheet)
        return false;
    // Without asking, into the user's documents folder under the title.
    QString path =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(QString(title).replace(QLatin1Char('/'), QLatin1Char('_')) + QStringLiteral(".csv"));
    if (ask)
        path = QFileDialog::getSaveFileName(sheet->window(), title, path, QStringLiteral("CSV (*.csv)"));
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream out(&file);
    for (int r = 1; r <= sheet->MaxRow(); ++r) {
        QStringList cells;
        for (int c = 1; c <= sheet->MaxCol(); ++c)
            cells << QLatin1Char('"') + sheet->TextRC(r, c).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
                         QLatin1Char('"');
        out << cells.join(QLatin1Char(',')) << '\n';
    }
    return file.flush();
}

bool ExampleServices::PrintSheet(corvan::Sheet* sheet)
{
    QPrinter printer;
    QPrintDialog dialog(&printer, sheet ? sheet->window() : nullptr);
    if (!sheet || dialog.exec() != QDialog::Accepted)
        return false;
    QPainter painter(&printer);
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QSize size = sheet->table()->size();
    const double scale = std::min(1.0 * page.width() / size.width(), 1.0 * page.height() / size.height());
    painter.scale(scale, scale);
    sheet->table()->render(&painter);
    return true;
}

void ExampleServices::BeginWait(QWidget*)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++m_waits;
}

void ExampleServices::EndWait()
{
    if (m_waits == 0)
        return;
    --m_waits;
    QApplication::restoreOverrideCursor();
}

QString ExampleServices::GetTextField(const QString& text, const QString& separator, int position)
{
    const QStringList items = separator.isEmpty() ? QStringList{text} : text.split(separator);
    return position >= 1 && position <= items.size() ? items.at(position - 1) : QString();
}

QString ExampleServices::CurrentUser()
{
    return qEnvironmentVariable("USER", QStringLiteral("user"));
}

void ExampleServices::ShowMessage(const QString& text)
{
    QMessageBox::information(QApplication::activeWindow(), ApplicationName(), text);
}

QString ExampleServices::GetRightCityList(const QString&)
{
    QStringList items;
    for (const QString& city : m_cities)
        items << quoted(city);
    return items.join(QLatin1Char(','));
}

bool ExampleServices::HasCityRight(const QString&, const QString& cityId)
{
    return m_cities.contains(cityId);
}

bool ExampleServices::ShowProperty(const QString& view, const QString& code)
{
    corvan::AttrTable table;
    if (!GetResourceData(view, code, &table, true, QString(), true, nullptr))
        return false;
    auto* window = new QDialog();
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(code);
    auto* sheet = new corvan::Sheet(window);
    sheet->setMaxCol(2);
    sheet->setMaxRow(table.FieldCount());
    for (int j = 1; j <= table.FieldCount(); ++j) {
        sheet->setTextRC(j, 1, table.at(corvan::AttrTable::Caption, j));
        sheet->setTextRC(j, 2, table.at(corvan::AttrTable::DisplayValue, j));
    }
    sheet->setReadOnly(true);
    (new QVBoxLayout(window))->addWidget(sheet);
    window->show();
    return true;
}

// Fields are the view's columns in order, the first one holding the record's code.
bool ExampleServices::GetResourceData(const QString& view, const QString& code, corvan::AttrTable* out, bool,
                                      const QString&, bool, QObject** outObject)
{
    if (outObject)
        *outObject = nullptr;
    static const QRegularExpression plainName(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (!out || !plainName.match(view).hasMatch())
        return false;
    out->clear();
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("select * from %1 limit 0").arg(view)))
        return false;
    const QSqlRecord columns = query.record();
    query.prepare(QStringLiteral("select * from %1 where %2 = ?").arg(view, columns.fieldName(0)));
    query.addBindValue(code);
    const bool found = query.exec() && query.next();
    out->resize(columns.count());
    for (int j = 1; j <= columns.count(); ++j) {
        out->set(corvan::AttrTable::Caption, j, columns.fieldName(j - 1));
        out->set(corvan::AttrTable::DisplayValue, j, found ? query.value(j - 1).toString() : QString());
        out->set(corvan::AttrTable::FieldName, j, columns.fieldName(j - 1));
        out->set(corvan::AttrTable::DataType, j, QStringLiteral("char"));
        out->set(corvan::AttrTable::Display, j, QStringLiteral("Y"));
        out->set(corvan::AttrTable::Emphasis, j, QStringLiteral("0"));
        out->set(corvan::AttrTable::Required, j, QStringLiteral("Y"));
    }
    return found;
}

} // namespace example
