// SPDX-License-Identifier: MIT
#include "xlsx/xlsx_reader.h"

#include <QDate>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTime>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include <unzip.h>

using namespace Qt::StringLiterals;

namespace corvan::host {

namespace {

constexpr int MaxColumns = 16384;
constexpr int MaxRows = 1048576;
const QString OfficeDocument = u"/officeDocument"_s;

// A failure with its one line for the user.
struct Failure {
    QString text;
};

// The workbook's zip package, read from memory through minizip (the copy libxlsxwriter
// uses as well, so one process holds one minizip).
class Package {
public:
    explicit Package(const QByteArray& bytes) : m_bytes(bytes)
    {
        fill_fopen64_filefunc(&m_io); // then every call on our bytes
        m_io.zopen64_file = [](voidpf self, const void*, int) -> voidpf {
            return self;
        };
        m_io.zread_file = [](voidpf self, voidpf, void* buffer, uLong size) -> uLong {
            auto* p = static_cast<Package*>(self);
            const qint64 n = std::min(qint64(size), p->m_bytes.size() - p->m_at);
            std::memcpy(buffer, p->m_bytes.constData() + p->m_at, size_t(n));
            p->m_at += n;
            return uLong(n);
        };
        m_io.zwrite_file = [](voidpf, voidpf, const void*, uLong) -> uLong {
            return 0;
        };
        m_io.ztell64_file = [](voidpf self, voidpf) -> ZPOS64_T {
            return ZPOS64_T(static_cast<Package*>(self)->m_at);
        };
        m_io.zseek64_file = [](voidpf self, voidpf, ZPOS64_T offset, int origin) -> long {
            auto* p = static_cast<Package*>(self);
            const qint64 base = origin == ZLIB_FILEFUNC_SEEK_SET   ? 0
                                : origin == ZLIB_FILEFUNC_SEEK_CUR ? p->m_at
                                                                   : p->m_bytes.size();
            const qint64 to = base + qint64(offset);
            if (to < 0 || to > p->m_bytes.size())
                return -1;
            p->m_at = to;
            return 0;
        };
        m_io.zclose_file = [](voidpf, voidpf) -> int {
            return 0;
        };
        m_io.zerror_file = [](voidpf, voidpf) -> int {
            return 0;
        };
        m_io.opaque = this;
    }
    ~Package()
    {
        if (m_zip)
            unzClose(m_zip);
    }
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    bool open()
    {
        m_zip = unzOpen2_64("workbook", &m_io);
        return m_zip != nullptr;
    }

    // Part names are matched without regard to case, as spreadsheet programs do.
    bool has(const QString& name)
    {
        return m_zip && unzLocateFile(m_zip, name.toUtf8().constData(), 2) == UNZ_OK;
    }

    // A part's bytes; a part that is missing is nothing, one that cannot be unpacked fails.
    std::optional<QByteArray> part(const QString& name)
    {
        if (!has(name))
            return std::nullopt;
        if (unzOpenCurrentFile(m_zip) != UNZ_OK)
            throw Failure{u"工作簿中的 %1 无法解压"_s.arg(name)};
        QByteArray data;
        char chunk[65536];
        for (;;) {
            const int read = unzReadCurrentFile(m_zip, chunk, sizeof chunk);
            if (read < 0) {
                unzCloseCurrentFile(m_zip);
                throw Failure{u"工作簿中的 %1 已损坏"_s.arg(name)};
            }
            if (read == 0)
                break;
            if (data.size() + read > XlsxReader::MaxPartBytes) {
                unzCloseCurrentFile(m_zip);
                throw Failure{u"工作簿中的 %1 解压后过大"_s.arg(name)};
            }
            data.append(chunk, read);
        }
        // Closing checks the part's CRC.
        if (unzCloseCurrentFile(m_zip) != UNZ_OK)
            throw Failure{u"工作簿中的 %1 已损坏（校验失败）"_s.arg(name)};
        return data;
    }

private:
    QByteArray m_bytes;
    qint64 m_at = 0;
    zlib_filefunc64_def m_io{};
    unzFile m_zip = nullptr;
};

// A part's name from a relationship's target, relative to the part that holds the
// relationships ("worksheets/sheet1.xml" from "xl/") or absolute ("/xl/worksheets/...").
QString resolve(const QString& folder, const QString& target)
{
    QString path = target.startsWith(u'/') ? target.mid(1) : folder + target;
    QStringList parts;
    for (const QString& piece : path.split(u'/', Qt::SkipEmptyParts)) {
        if (piece == u".."_s) {
            if (!parts.isEmpty())
                parts.removeLast();
        } else if (piece != u"."_s) {
            parts << piece;
        }
    }
    return parts.join(u'/');
}

void checkXml(const QXmlStreamReader& xml, const QString& part)
{
    if (xml.hasError() && xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
        throw Failure{u"工作簿中的 %1 不是有效的 XML：%2"_s.arg(part, xml.errorString())};
}

// Id -> target, of the relationships part; and the first target of a type ending in suffix.
struct Relationships {
    QHash<QString, QString> byId;
    QHash<QString, QString> byType;

    static Relationships read(Package& package, const QString& part, const QString& folder)
    {
        Relationships rels;
        const auto bytes = package.part(part);
        if (!bytes)
            return rels;
        QXmlStreamReader xml(*bytes);
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement() || xml.name() != u"Relationship"_s)
                continue;
            const auto a = xml.attributes();
            // An external target (a hyperlink) is no part of the package.
            if (a.value(u"TargetMode"_s) == u"External"_s)
                continue;
            const QString target = resolve(folder, a.value(u"Target"_s).toString());
            rels.byId.insert(a.value(u"Id"_s).toString(), target);
            const QString type = a.value(u"Type"_s).toString();
            const QString kind = type.mid(type.lastIndexOf(u'/'));
            if (!rels.byType.contains(kind))
                rels.byType.insert(kind, target);
        }
        checkXml(xml, part);
        return rels;
    }
};

// The text of an <si> or <is>: its <t>, or its runs' <t>s, without the phonetic runs.
QString richText(QXmlStreamReader& xml)
{
    QString text;
    const QString endName = xml.name().toString();
    int phonetic = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == u"rPh"_s)
                ++phonetic;
            else if (xml.name() == u"t"_s && phonetic == 0)
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (xml.isEndElement()) {
            if (xml.name() == u"rPh"_s)
                --phonetic;
            else if (xml.name() == endName)
                break;
        }
    }
    return text;
}

QStringList sharedStrings(Package& package, const QString& part)
{
    QStringList strings;
    if (part.isEmpty())
        return strings;
    const auto bytes = package.part(part);
    if (!bytes)
        return strings;
    QXmlStreamReader xml(*bytes);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"si"_s)
            strings << richText(xml);
    }
    checkXml(xml, part);
    return strings;
}

// Whether a number format shows a date: Excel's built-in date formats, or a format code with
// day, month or year outside quotes and brackets (colours, conditions, elapsed times).
bool isDateFormat(int id, const QString& code)
{
    if ((id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58))
        return true;
    if (code.isEmpty())
        return false;
    QString bare;
    bool quoted = false;
    int bracket = 0;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (c == u'"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == u'\\' || c == u'_' || c == u'*')
            ++i;
        else if (c == u'[')
            ++bracket;
        else if (c == u']')
            bracket = std::max(0, bracket - 1);
        else if (bracket == 0)
            bare += c.toLower();
    }
    // A day or a year makes a date; a format of hours, minutes and seconds alone is a
    // duration, shown as the number it is.
    static const QRegularExpression dateLetters(u"[dy]"_s);
    return bare.contains(dateLetters);
}

// Per cell style (the index of cellXfs), whether it shows a date.
QList<bool> dateStyles(Package& package, const QString& part)
{
    QList<bool> styles;
    if (part.isEmpty())
        return styles;
    const auto bytes = package.part(part);
    if (!bytes)
        return styles;
    QHash<int, QString> codes;
    QXmlStreamReader xml(*bytes);
    bool inCellXfs = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto a = xml.attributes();
            if (xml.name() == u"numFmt"_s)
                codes.insert(a.value(u"numFmtId"_s).toInt(), a.value(u"formatCode"_s).toString());
            else if (xml.name() == u"cellXfs"_s)
                inCellXfs = true;
            else if (inCellXfs && xml.name() == u"xf"_s) {
                const int id = a.value(u"numFmtId"_s).toInt();
                styles << isDateFormat(id, codes.value(id));
            }
        } else if (xml.isEndElement() && xml.name() == u"cellXfs"_s) {
            inCellXfs = false;
        }
    }
    checkXml(xml, part);
    return styles;
}

// "BC12" -> column 54 (from 0) and row 11 (from 0); false for anything else.
bool cellPosition(QStringView ref, int* row, int* column)
{
    qsizetype i = 0;
    qint64 col = 0;
    while (i < ref.size() && ref.at(i).isLetter() && ref.at(i).unicode() < 128) {
        col = col * 26 + (ref.at(i).toUpper().unicode() - u'A' + 1);
        if (col > MaxColumns)
            return false;
        ++i;
    }
    bool ok = false;
    const qint64 r = ref.mid(i).toLongLong(&ok);
    if (i == 0 || !ok || r < 1 || r > MaxRows)
        return false;
    *row = int(r - 1);
    *column = int(col - 1);
    return true;
}

class SheetReader {
public:
    SheetReader(const QStringList& strings, const QList<bool>& dates, bool date1904)
        : m_strings(strings), m_dates(dates), m_date1904(date1904)
    {}

    QList<QStringList> read(const QByteArray& bytes, const QString& part)
    {
        QXmlStreamReader xml(bytes);
        int nextRow = 0;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement() || xml.name() != u"row"_s)
                continue;
            int row = nextRow;
            const QStringView r = xml.attributes().value(u"r"_s);
            if (!r.isEmpty()) {
                bool ok = false;
                row = r.toInt(&ok) - 1;
                if (!ok || row < 0 || row >= MaxRows)
                    throw Failure{u"工作表的行号“%1”超出范围"_s.arg(r)};
            }
            readRow(xml, row);
            nextRow = row + 1;
        }
        checkXml(xml, part);
        while (!m_rows.isEmpty() && m_rows.last().isEmpty())
            m_rows.removeLast();
        return m_rows;
    }

private:
    void readRow(QXmlStreamReader& xml, int row)
    {
        int nextColumn = 0;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement() && xml.name() == u"row"_s)
                return;
            if (!xml.isStartElement() || xml.name() != u"c"_s)
                continue;
            const auto a = xml.attributes();
            int cellRow = row;
            int column = nextColumn;
            const QStringView ref = a.value(u"r"_s);
            if (!ref.isEmpty() && !cellPosition(ref, &cellRow, &column))
                throw Failure{u"单元格位置“%1”超出工作表范围"_s.arg(ref)};
            const QString type = a.value(u"t"_s).toString();
            const int style = a.value(u"s"_s).toInt();
            const QString text = cellText(xml, type, style);
            if (!text.isEmpty())
                put(cellRow, column, text);
            nextColumn = column + 1;
        }
    }

    QString cellText(QXmlStreamReader& xml, const QString& type, int style)
    {
        QString value;
        QString inlineText;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement() && xml.name() == u"c"_s)
                break;
            if (!xml.isStartElement())
                continue;
            if (xml.name() == u"v"_s)
                value = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            else if (xml.name() == u"is"_s)
                inlineText = richText(xml);
        }
        if (type == u"inlineStr"_s)
            return inlineText;
        if (type == u"s"_s) {
            bool ok = false;
            const int index = value.trimmed().toInt(&ok);
            if (!ok || index < 0 || index >= m_strings.size())
                throw Failure{u"单元格引用了不存在的共享字符串 %1"_s.arg(value)};
            return m_strings.at(index);
        }
        if (type == u"str"_s || type == u"e"_s || type == u"d"_s)
            return value;
        if (type == u"b"_s)
            return value.trimmed() == u"1"_s ? u"TRUE"_s : u"FALSE"_s;
        if (value.trimmed().isEmpty())
            return {};
        bool ok = false;
        const double number = value.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(number))
            return value;
        if (style >= 0 && style < m_dates.size() && m_dates.at(style))
            return XlsxReader::dateText(number, m_date1904);
        return XlsxReader::numberText(number);
    }

    void put(int row, int column, const QString& text)
    {
        while (m_rows.size() <= row)
            m_rows.append(QStringList());
        QStringList& cells = m_rows[row];
        while (cells.size() <= column)
            cells.append(QString());
        cells[column] = text;
    }

    const QStringList& m_strings;
    const QList<bool>& m_dates;
    bool m_date1904;
    QList<QStringList> m_rows;
};

struct SheetEntry {
    QString name;
    QString relation;
};

} // namespace

QString XlsxReader::numberText(double value)
{
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(value, 'f', 0);
    return QString::number(value, 'g', 15);
}

QString XlsxReader::dateText(double serial, bool date1904)
{
    double days = std::floor(serial);
    // The 1900 system counts a 29 February 1900 that never was: serials before it are a day
    // further from the day they mean.
    QDate base = date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    if (!date1904 && days < 61)
        base = QDate(1899, 12, 31);
    const QDate date = base.addDays(qint64(days));
    const auto seconds = qint64(std::llround((serial - days) * 86400.0));
    QString text = date.toString(u"yyyy-MM-dd"_s);
    if (seconds > 0 && seconds < 86400)
        text += u' ' + QTime(0, 0).addSecs(int(seconds)).toString(u"hh:mm:ss"_s);
    return text;
}

bool XlsxReader::read(const QByteArray& bytes, const QString& sheet, TextSheet* out, QString* error)
{
    try {
        Package package(bytes);
        if (!package.open())
            throw Failure{u"不是 .xlsx 工作簿（无法作为压缩包打开）"_s};
        const Relationships root = Relationships::read(package, u"_rels/.rels"_s, QString());
        QString workbook = root.byType.value(OfficeDocument);
        if (workbook.isEmpty())
            workbook = u"xl/workbook.xml"_s;
        const auto book = package.part(workbook);
        if (!book)
            throw Failure{u"不是 .xlsx 工作簿（没有 %1）"_s.arg(workbook)};
        const QString folder = workbook.left(workbook.lastIndexOf(u'/') + 1);
        const QString relsPart =
            folder + u"_rels/"_s + workbook.mid(workbook.lastIndexOf(u'/') + 1) + u".rels"_s;
        const Relationships rels = Relationships::read(package, relsPart, folder);

        QList<SheetEntry> sheets;
        bool date1904 = false;
        QXmlStreamReader xml(*book);
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            const auto a = xml.attributes();
            if (xml.name() == u"workbookPr"_s) {
                const QStringView flag = a.value(u"date1904"_s);
                date1904 = flag == u"1"_s || flag == u"true"_s;
            } else if (xml.name() == u"sheet"_s) {
                QString relation;
                for (const auto& attribute : a)
                    if (attribute.name() == u"id"_s)
                        relation = attribute.value().toString();
                sheets << SheetEntry{a.value(u"name"_s).toString(), relation};
            }
        }
        checkXml(xml, workbook);
        if (sheets.isEmpty())
            throw Failure{u"工作簿中没有工作表"_s};
        SheetEntry chosen = sheets.first();
        for (const SheetEntry& entry : sheets)
            if (entry.name == sheet)
                chosen = entry;
        const QString sheetPart = rels.byId.value(chosen.relation);
        const auto sheetBytes = sheetPart.isEmpty() ? std::nullopt : package.part(sheetPart);
        if (!sheetBytes)
            throw Failure{u"工作簿中找不到工作表“%1”的内容"_s.arg(chosen.name)};

        const QStringList strings = sharedStrings(package, rels.byType.value(u"/sharedStrings"_s));
        const QList<bool> dates = dateStyles(package, rels.byType.value(u"/styles"_s));
        SheetReader reader(strings, dates, date1904);
        out->name = chosen.name;
        out->rows = reader.read(*sheetBytes, sheetPart);
        return true;
    } catch (const Failure& failure) {
        if (error)
            *error = failure.text;
        return false;
    }
}

} // namespace corvan::host

extern "C" Q_DECL_EXPORT bool corvan_read_xlsx(const QByteArray* bytes, const QString* sheet,
                                               corvan::TextSheet* out, QString* error)
{
    return corvan::host::XlsxReader::read(*bytes, *sheet, out, error);
}
