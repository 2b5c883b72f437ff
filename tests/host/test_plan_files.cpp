// SPDX-License-Identifier: MIT
// Relocation plans as files arrive: workbooks written by other programs (a spreadsheet
// program's, libxlsxwriter's with shared and with inline strings), CSV in UTF-8 with and
// without a byte-order mark and in GB18030, and what is no plan file at all.
#include "desktop/csv_reader.h"
#include "desktop/sheet_service_impl.h"
#include "files.h"

#include <QCryptographicHash>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <xlsxwriter.h>

using namespace Qt::StringLiterals;
using corvan::TextSheet;
using corvan::host::CsvReader;
using corvan::host::SheetServiceImpl;
using namespace corvan::test;

namespace {

const QStringList Headings{u"网络类型"_s, u"所属地市"_s, u"基站编号"_s, u"目标机房编号"_s,
                           u"经度"_s,     u"纬度"_s,     u"是否共享"_s, u"开通日期"_s};

struct Read {
    bool ok = false;
    TextSheet sheet;
    QByteArray digest;
    QString error;
};

Read readSheet(const QString& path)
{
    SheetServiceImpl service;
    Read read;
    read.ok = service.ReadTextSheet(path, u"调整计划"_s, &read.sheet, &read.digest, &read.error);
    return read;
}

// A workbook written by libxlsxwriter: a sheet before the plan's, then 调整计划 with texts
// (one of them in formatted runs), numbers, a date and a date with a time (date formats), a boolean and an
// empty row. In constant memory the library writes every text as an inline string, else as a shared one.
void writeWithLibxlsxwriter(const QString& path, bool inlineStrings)
{
    lxw_workbook_options options{};
    options.constant_memory = inlineStrings ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* book = workbook_new_opt(path.toUtf8().constData(), &options);
    ASSERT_NE(book, nullptr);
    lxw_worksheet* other = workbook_add_worksheet(book, "其他");
    worksheet_write_string(other, 0, 0, "这不是计划", nullptr);
    lxw_worksheet* plan = workbook_add_worksheet(book, "调整计划");
    lxw_format* day = workbook_add_format(book);
    format_set_num_format(day, "yyyy-mm-dd");
    lxw_format* moment = workbook_add_format(book);
    format_set_num_format(moment, "yyyy/m/d h:mm");
    for (int c = 0; c < int(Headings.size()); ++c)
        worksheet_write_string(plan, 0, lxw_col_t(c), Headings.at(c).toUtf8().constData(), nullptr);
    worksheet_write_string(plan, 1, 0, "G", nullptr);
    // The city typed with part of its name in bold red: runs of text that read as one.
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    format_set_font_color(bold, LXW_COLOR_RED);
    lxw_rich_string_tuple plainRun{nullptr, const_cast<char*>("云州")};
    lxw_rich_string_tuple boldRun{bold, const_cast<char*>("市")};
    lxw_rich_string_tuple* runs[] = {&plainRun, &boldRun, nullptr};
    ASSERT_EQ(worksheet_write_rich_string(plan, 1, 1, runs, nullptr), LXW_NO_ERROR);
    worksheet_write_number(plan, 1, 2, 1001, nullptr);
    worksheet_write_string(plan, 1, 3, "00702", nullptr);
    worksheet_write_number(plan, 1, 4, 113.25, nullptr);
    worksheet_write_number(plan, 1, 5, 0.1 + 0.2, nullptr);
    worksheet_write_boolean(plan, 1, 6, 1, nullptr);
    lxw_datetime date{2024, 3, 5, 0, 0, 0};
    worksheet_write_datetime(plan, 1, 7, &date, day);
    // Row 3 stays empty.
    worksheet_write_string(plan, 3, 0, "D", nullptr);
    worksheet_write_number(plan, 3, 2, 123456789012345.0, nullptr);
    lxw_datetime evening{2024, 12, 31, 18, 30, 15};
    worksheet_write_datetime(plan, 3, 7, &evening, moment);
    ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
}

TEST(PlanFiles, WorkbooksOfOtherWritersReadAsASpreadsheetShowsThem)
{
    QTemporaryDir folder;
    // Saved by a spreadsheet program (LibreOffice Calc from a typed sheet): shared strings,
    // numbers, a number typed as 00702 that the program stored as 702, date serials.
    const QString saved = qEnvironmentVariable("CORVAN_SOURCE_DIR") + u"/tests/data/plan-libreoffice.xlsx"_s;
    const Read calc = readSheet(saved);
    ASSERT_TRUE(calc.ok) << calc.error.toStdString();
    EXPECT_EQ(calc.sheet.name, u"调整计划"_s);
    EXPECT_EQ(calc.sheet.rows, (QList<QStringList>{Headings,
                                                   {u"G"_s, u"云州市"_s, u"1001"_s, u"R-17"_s, u"113.25"_s,
                                                    u"23.125"_s, u"否"_s, u"2024-03-05"_s},
                                                   {u"C"_s, u"云州市"_s, u"702"_s, u"R-18"_s, u"113.5"_s,
                                                    u"23"_s, u"是"_s, u"2024-12-31"_s}}));
    EXPECT_EQ(calc.digest, QCryptographicHash::hash(fileBytes(saved), QCryptographicHash::Sha256));

    const QList<QStringList> expected{
        Headings,
        {u"G"_s, u"云州市"_s, u"1001"_s, u"00702"_s, u"113.25"_s, u"0.3"_s, u"TRUE"_s, u"2024-03-05"_s},
        {},
        {u"D"_s, QString(), u"123456789012345"_s, QString(), QString(), QString(), QString(),
         u"2024-12-31 18:30:15"_s}};
    for (const bool inlineStrings : {false, true}) {
        const QString path = folder.filePath(inlineStrings ? u"inline.xlsx"_s : u"shared.xlsx"_s);
        writeWithLibxlsxwriter(path, inlineStrings);
        const Read read = readSheet(path);
        ASSERT_TRUE(read.ok) << read.error.toStdString();
        EXPECT_EQ(read.sheet.name, u"调整计划"_s) << inlineStrings;
        EXPECT_EQ(read.sheet.rows, expected) << inlineStrings;
    }
    // Without a sheet of that name, the first.
    SheetServiceImpl service;
    TextSheet first;
    QString error;
    ASSERT_TRUE(
        service.ReadTextSheet(folder.filePath(u"shared.xlsx"_s), u"没有这张表"_s, &first, nullptr, &error));
    EXPECT_EQ(first.name, u"其他"_s);
    EXPECT_EQ(first.rows, (QList<QStringList>{{u"这不是计划"_s}}));

    // What our own writer leaves reads back cell for cell.
    const QList<TextSheet> written{
        {u"调整计划"_s, {Headings, {u"G"_s, u"云州市"_s, u"0012"_s}}, {}, {}, false}};
    ASSERT_TRUE(service.WriteTextWorkbook(folder.filePath(u"ours.xlsx"_s), written, &error))
        << error.toStdString();
    const Read ours = readSheet(folder.filePath(u"ours.xlsx"_s));
    ASSERT_TRUE(ours.ok) << ours.error.toStdString();
    EXPECT_EQ(ours.sheet.rows, written.first().rows);
}

TEST(PlanFiles, CsvInUtf8WithAndWithoutAMarkAndInGb18030)
{
    const QString text = u"网络类型,所属地市,基站编号,目标机房名称\r\nG,云州市,0012,\"滨江,一号\"\r\n\r\n"
                         u"C,云州市,77,\"说\"\"明\"\"\n第二行\"\r\n"_s;
    const QList<QStringList> expected{{u"网络类型"_s, u"所属地市"_s, u"基站编号"_s, u"目标机房名称"_s},
                                      {u"G"_s, u"云州市"_s, u"0012"_s, u"滨江,一号"_s},
                                      {},
                                      {u"C"_s, u"云州市"_s, u"77"_s, u"说\"明\"\n第二行"_s}};
    QStringEncoder gb18030("GB18030");
    ASSERT_TRUE(gb18030.isValid());
    const QByteArray gbBytes = gb18030(text);
    ASSERT_NE(gbBytes, text.toUtf8());
    const struct {
        const char* name;
        QByteArray bytes;
    } encodings[] = {
        {"utf-8", text.toUtf8()},
        {"utf-8 with a mark", QByteArray("\xEF\xBB\xBF") + text.toUtf8()},
        {"gb18030", gbBytes},
    };
    QTemporaryDir folder;
    for (const auto& encoding : encodings) {
        const QString path = folder.filePath(QString::fromLatin1(encoding.name) + u".csv"_s);
        writeFile(path, encoding.bytes);
        const Read read = readSheet(path);
        ASSERT_TRUE(read.ok) << encoding.name << read.error.toStdString();
        EXPECT_EQ(read.sheet.rows, expected) << encoding.name;
        EXPECT_EQ(read.digest, QCryptographicHash::hash(encoding.bytes, QCryptographicHash::Sha256));
    }

    // What is no plan file: one line each, naming the file.
    const QString missing = folder.filePath(u"没有.csv"_s);
    const struct {
        const char* name;
        QByteArray bytes;
        QString error;
    } bad[] = {
        {"open.csv", "a,\"b\nc", u"文件在引号中结束（第 1 行的引号没有配对）"_s},
        {"neither.csv", "\xEF\xBB\xBF\xFF\xFE", u"文件以 UTF-8 标记开头，内容却不是 UTF-8 编码"_s},
        {"old.xls", QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(64, '\0'),
         u"不能读取 Excel 97-2003 格式（.xls），请另存为 .xlsx 或 .csv"_s},
        {"text.xlsx", "网络类型,所属地市", u"不是 .xlsx 工作簿，也不是 .csv 文件"_s},
        {"cut.xlsx", fileBytes(folder.filePath(u"utf-8.csv"_s)).prepend("PK\x03\x04"),
         u"不是 .xlsx 工作簿（无法作为压缩包打开）"_s},
    };
    for (const auto& c : bad) {
        const QString path = folder.filePath(QString::fromLatin1(c.name));
        writeFile(path, c.bytes);
        const Read read = readSheet(path);
        EXPECT_FALSE(read.ok) << c.name;
        EXPECT_EQ(read.error, path + u"："_s + c.error) << c.name;
    }
    const Read none = readSheet(missing);
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.error, u"文件“%1”不存在"_s.arg(missing));

    // Bytes that no encoding reads.
    QList<QStringList> rows;
    QString error;
    EXPECT_FALSE(CsvReader::read("\xFF\xFF\xFF", &rows, &error));
    EXPECT_EQ(error, u"文件既不是 UTF-8 编码也不是 GB18030 编码"_s);
}

} // namespace
