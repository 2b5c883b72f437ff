// SPDX-License-Identifier: MIT
// Builds a demo database on SQLite and prints how long it took, how large the file is and
// how many rows each table holds: corvan-bench [--scale N] [--seed S] [--keep DIR]

#include "data/demo_database.h"
#include "data/schema.h"
#include "data/sqlite_locks.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

int main(int argc, char** argv)
{
    using namespace Qt::StringLiterals;
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Times the demo data generator on SQLite."_s);
    parser.addHelpOption();
    parser.addOption({u"scale"_s, u"Number of rooms (1 to 1000000)."_s, u"N"_s, u"100000"_s});
    parser.addOption({u"seed"_s, u"Seed of the generator."_s, u"S"_s, u"20261206"_s});
    parser.addOption({u"keep"_s, u"Write the database into DIR and keep it."_s, u"DIR"_s});
    parser.process(app);

    bool ok = false;
    corvan::host::DemoOptions options;
    options.rooms = parser.value(u"scale"_s).toInt(&ok);
    if (!ok) {
        std::fprintf(stderr, "--scale needs a number\n");
        return 2;
    }
    options.seed = parser.value(u"seed"_s).toUInt(&ok);
    if (!ok) {
        std::fprintf(stderr, "--seed needs a number\n");
        return 2;
    }
    int lastShown = -1;
    options.progress = [&lastShown](int percent) {
        if (percent / 10 != lastShown / 10) {
            std::fprintf(stderr, "\r%3d%%", percent);
            lastShown = percent;
        }
    };

    QTemporaryDir temp;
    const QString dir = parser.isSet(u"keep"_s) ? parser.value(u"keep"_s) : temp.path();
    const QString file = dir + u"/corvan-demo.db"_s;
    QFile::remove(file);
    QString error;
    qint64 schemaMs = 0;
    qint64 loadMs = 0;
    corvan::host::DemoReport report;
    corvan::host::SqliteLocks::install();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"bench"_s);
        db.setDatabaseName(file);
        if (!db.open()) {
            std::fprintf(stderr, "cannot open %s\n", qPrintable(file));
            return 1;
        }
        QElapsedTimer timer;
        timer.start();
        if (!corvan::host::createSchema(db, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        schemaMs = timer.restart();
        if (!corvan::host::createDemoData(db, options, &report, &error)) {
            std::fprintf(stderr, "\n%s\n", qPrintable(error));
            return 1;
        }
        loadMs = timer.elapsed();
        std::fprintf(stderr, "\r    \r");
        db.close();
    }
    QSqlDatabase::removeDatabase(u"bench"_s);

    qint64 total = 0;
    std::printf("rooms %d, seed %u\n", options.rooms, options.seed);
    for (auto it = report.rowCounts.cbegin(); it != report.rowCounts.cend(); ++it) {
        std::printf("  %-20s %10lld\n", qPrintable(it.key()), static_cast<long long>(it.value()));
        total += it.value();
    }
    const double seconds = static_cast<double>(loadMs) / 1000.0;
    std::printf("  %-20s %10lld\n", "all tables", static_cast<long long>(total));
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    std::printf("schema %lld ms, demo data %.2f s (%.0f rows/s), file %.1f MiB\n",
                static_cast<long long>(schemaMs), seconds,
                seconds > 0 ? static_cast<double>(total) / seconds : 0.0,
                static_cast<double>(QFileInfo(file).size()) / (1024.0 * 1024.0));
    return 0;
}
