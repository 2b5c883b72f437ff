// SPDX-License-Identifier: MIT
// The history window on a database with records: a picture of it with the first record of
// the year shown, that record exported through the host (.xlsx) and printed to a PDF.
// corvan-history-shots DATABASE USER OUT_DIR

#include <QApplication>
#include <QDate>
#include <QDateEdit>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <cstdio>

#include "corvan/controls/property_grid.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/sheet.h"
#include "desktop/sheet_printer.h"
#include "entry/cls_main.h"
#include "history/frm_q_dispath_his.h"
#include "history/frm_view_history.h"
#include "shots_host.h"

using namespace corvan;

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
