// SPDX-License-Identifier: MIT
// The history window on a database with records: a picture of it with the first record of
// the year shown, that record exported through the host (.xlsx) and printed to a PDF. Before
// that, the history chart of a province's busy year (a month of 1,832 relocations, the
// database's city names) as its menu saves it: history-chart-year.png.
// corvan-history-shots DATABASE USER OUT_DIR

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QDateEdit>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <cstdio>

#include "core/context/mdl_pub_var.h"
#include "core/history/history_chart.h"
#include "corvan/controls/property_grid.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/sheet.h"
#include "desktop/sheet_printer.h"
#include "entry/cls_main.h"
#include "history/frm_q_dispath_his.h"
#include "history/frm_view_history.h"
#include "history/history_chart_view.h"
#include "shots_host.h"

using namespace corvan;

namespace {

// A year of relocations, G, C and D per month, spread over the cities in turn; the
// busiest month has 1,832.
QList<HistoryChart::Record> busyYear(const QStringList& cities)
{
    static constexpr int Counts[12][3] = {{310, 120, 60},  {280, 140, 75},   {420, 160, 90},
                                          {520, 210, 110}, {610, 260, 140},  {700, 300, 160},
                                          {650, 280, 150}, {690, 310, 170},  {820, 380, 210},
                                          {940, 450, 260}, {1000, 532, 300}, {760, 390, 240}};
    const QString networks[3] = {QStringLiteral("G"), QStringLiteral("C"), QStringLiteral("D")};
    QList<HistoryChart::Record> records;
    const int year = QDate::currentDate().year() - 1;
    int turn = 0;
    for (int month = 0; month < 12; ++month)
        for (int n = 0; n < 3; ++n)
            for (int i = 0; i < Counts[month][n]; ++i, ++turn)
                records.append({QDate(year, month + 1, 1 + i % 28), networks[n],
                                cities.at(turn % cities.size()), cities.at((turn * 7 + 3) % cities.size())});
    return records;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: corvan-history-shots DATABASE USER OUT_DIR\n");
        return 2;
    }
    const QDir out(args.at(3));
    tools::ShotsHost shots;
    if (!shots.open(args.at(1), args.at(2), out, QStringLiteral("history-record.xlsx")))
        return 2;
    clsMain component;
    component.initEnv(shots.services().objectArray());

    QStringList cities;
    if (auto rs = component.context().db().open(
            QStringLiteral("select city_name from com_city order by showserial")))
        for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
            cities << rs->Text(QStringLiteral("city_name"));
    if (cities.isEmpty())
        cities << QStringLiteral("未知");
    HistoryChartView chart;
    chart.resize(900, 320);
    chart.setChart(HistoryChart::of(busyYear(cities)));
    chart.setChooser(
        [&out](const QString&) { return out.filePath(QStringLiteral("history-chart-year.png")); });
    chart.saveAction()->trigger();

    auto* window = new frmViewHistory(component.context());
    window->show();
    frmQDispathHis* panel = window->queryPanel();
    panel->findChild<QDateEdit*>(QStringLiteral("dtBegin"))
        ->setDate(QDate(QDate::currentDate().year(), 1, 1));
    panel->findChild<QPushButton*>(QStringLiteral("cmdQuery"))->click();
    PropertyItems& list = panel->list()->Items();
    if (list.ItemCount() == 0) {
        std::fprintf(stderr, "no relocation records this year\n");
        return 1;
    }
    window->showHistory(list.GetItem(1L)->Key().mid(2));
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    window->grab().save(out.filePath(QStringLiteral("history-window.png")));
    std::printf("exported: %s\n", window->exportSheet() ? "yes" : "no");
    // What the preview shows, as the PDF the user would save from it (rows 8 and 9 included).
    window->sheet()->setRowHidden(8, false);
    window->sheet()->setRowHidden(9, false);
    QString error;
    std::printf("pdf: %s\n", host::SheetPrinter::printToPdf(
                                 *window->sheet(), out.filePath(QStringLiteral("history-record.pdf")), &error)
                                 ? "yes"
                                 : qPrintable(error));
    component.clearEnv();
    return 0;
}
