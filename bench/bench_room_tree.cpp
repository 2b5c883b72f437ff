// SPDX-License-Identifier: MIT
// How long the room search takes to fill its tree for a whole province, and the memory
// it needs. Usage: corvan-bench-tree DATABASE [USER]  (a demo database, e.g. one made by
// `corvan --create-demo --scale 100000 --database big.sqlite`).

#include <sys/resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTreeWidget>
#include <cstdio>

#include "corvan/component.h"
#include "entry/cls_main.h"
#include "core/mdl_pub_var.h"
#include "desktop/host_services.h"
#include "data/sql_data_service.h"

namespace {

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int countNodes(const QTreeWidgetItem* item)
{
    int n = 1;
    for (int i = 0; i < item->childCount(); ++i)
        n += countNodes(item->child(i));
    return n;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DATABASE [USER]\n", argv[0]);
        return 2;
    }
    corvan::host::SqlDataService data;
    QString error;
    if (!data.open(QString::fromLocal8Bit(argv[1]), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    corvan::host::HostServices services(&data);
    services.configure(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("admin"), QString());
    corvan::clsMain component;
    component.initEnv(services.objectArray());
    const long before = peakKiB();
    component.ShowMainForm();
    auto* search = component.context().form<QWidget>(QStringLiteral("frmQInBaseRoom"));
    auto* tree = search->findChild<QTreeWidget*>(QStringLiteral("tvwRoom"));
    search->findChild<QComboBox*>(QStringLiteral("cboCity"))->setCurrentIndex(0);

    for (int run = 1; run <= 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        search->findChild<QAbstractButton*>(QStringLiteral("cmdOk"))->click();
        QApplication::processEvents();
        const qint64 ms = timer.elapsed();
        std::printf("run %d: \"全部\" filled %d nodes in %lld ms\n", run,
                    tree->topLevelItemCount() ? countNodes(tree->topLevelItem(0)) : 0, static_cast<long long>(ms));
    }
    std::printf("peak resident memory: %ld MiB (%ld MiB before the main window opened)\n", peakKiB() / 1024,
                before / 1024);
    component.clearEnv();
    return 0;
}
