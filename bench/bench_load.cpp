// SPDX-License-Identifier: MIT
// Many users on one database at once: starts N processes (corvan-commit-probe --loop), each
// relocating BTSs one after another through the relocation session, and prints the
// relocations per second and the 50th and 99th percentile commit time. In the disjoint mode
// every relocation has a BTS and a target room of its own; in the contending mode all
// processes aim at the same target room in each round, so that one wins it. In the cities
// mode each process relocates within a city of its own (cycling through the user's cities);
// the province mode runs the same with every commit taking the whole writers' lock, as
// before cities were locked apart. In the plan mode one process checks and applies a plan of
// --plan-rows rows in one city (corvan-commit-probe --plan) while the others relocate in the other
// cities. After each run the invariants are checked over the database with plain SQL
// (LoadChecks); any violation, or an outcome the mode does not allow, makes the exit status 1.
//
// corvan-bench-load --database FILE|URL [--scale N] [--processes 1,4,16,32] [--jobs J]
//                   [--modes disjoint,contending,cities,province,plan] [--plan-rows R]
//                   [--user NAME] [--seed S] [--keep]
// The database is made afresh with the demo data: an SQLite file, or the PostgreSQL
// database the URL names (the URL's role must be allowed to create databases and casts).

#include "bench/load_checks.h"
#include "data/database_location.h"
#include "data/demo_database.h"
#include "data/schema.h"
#include "data/sql_data_service.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <vector>

using namespace corvan;
using namespace Qt::StringLiterals;

namespace {

const QStringList Networks{u"G"_s, u"C"_s, u"D"_s};
// A run that takes longer than this has hung.
constexpr int RunTimeoutMs = 30 * 60 * 1000;

struct Job {
    QString net, basecode, target;
};

struct Outcome {
    Job job;
    double commitMs = 0;
    QString kind; // COMMITTED, NEXT-REFUSED, REFUSED, BUSY, ERROR
    QString detail;
};

struct Figures {
    int committed = 0, nextRefused = 0, refused = 0, busy = 0, errors = 0;
    double seconds = 0;
    std::vector<double> commitMs;
};

QStringList column(const QSqlDatabase& db, const QString& sql)
{
    QStringList values;
    QSqlQuery query(db);
    if (!query.exec(sql))
        std::fprintf(stderr, "%s: %s\n", qPrintable(sql), qPrintable(query.lastError().text()));
    while (query.next())
        values << query.value(0).toString();
    return values;
}

// The relocations of one run, per process: BTSs of the user's cities that stand in a room,
// and rooms of those cities free for their network, shuffled. Disjoint: each job has its own
// BTS and target. Contending: round k sends a BTS of every process to the same target. With
// cityOf, process p relocates only BTSs of city cityOf[p] into rooms of that city.
QList<QList<Job>> plan(const QSqlDatabase& db, const QString& user, bool contending, int processes, int jobs,
                       std::mt19937& random, const QStringList& cityOf = {})
{
    const QString cities =
        u"(select city_id from host_right where username = '%1' and funcno = '13')"_s.arg(user);
    // Per network, per city ("" when cities are not kept apart).
    QHash<QString, QHash<QString, QStringList>> free, standing;
    for (const QString& net : Networks) {
        const QString n = net.toLower();
        QSqlQuery query(db);
        query.exec(
            u"select roomcode, city from res_baseroom where (%1bts is null or %1bts = '') and city in %2"_s
                .arg(n, cities));
        while (query.next())
            free[net][cityOf.isEmpty() ? QString() : query.value(1).toString()] << query.value(0).toString();
        query.exec(u"select b.basecode, b.city from res_%1bts b join res_baseroom r on r.%1bts = b.basenum "
                   u"where b.city in %2 and r.city = b.city"_s.arg(n, cities));
        while (query.next())
            standing[net][cityOf.isEmpty() ? QString() : query.value(1).toString()]
                << query.value(0).toString();
        for (auto* lists : {&free[net], &standing[net]})
            for (QStringList& list : *lists)
                std::shuffle(list.begin(), list.end(), random);
    }
    QList<QList<Job>> perProcess(processes);
    for (int k = 0; k < jobs; ++k) {
        const QString net = Networks.at(k % Networks.size());
        const QString shared = contending && !free[net][{}].isEmpty() ? free[net][{}].takeLast() : QString();
        if (contending && shared.isEmpty())
            continue;
        for (int p = 0; p < processes; ++p) {
            const QString city = cityOf.isEmpty() ? QString() : cityOf.at(p % cityOf.size());
            QStringList& targets = free[net][city];
            QStringList& moving = standing[net][city];
            if (moving.isEmpty() || (!contending && targets.isEmpty()))
                continue;
            perProcess[p] << Job{net, moving.takeLast(), contending ? shared : targets.takeLast()};
        }
    }
    return perProcess;
}

// A plan of rows relocations in one city, as a CSV sheet the plan command reads: BTSs that
// stand in a room of the city, each to a numbered room of the city free for its network, no
// room twice; each row keeps the BTS's own coordinates (those within the province, which the
// check would refuse otherwise) and controller. The planned moves are
// returned in row order.
QList<Job> writePlan(const QSqlDatabase& db, const QString& city, int rows, const QString& path,
                     QString* error)
{
    QSqlQuery query(db);
    query.exec(u"select city_name from com_city where city_id = '%1'"_s.arg(city));
    const QString cityName = query.next() ? query.value(0).toString() : QString();
    QStringList lines{u"网络类型,所属地市,基站编号,目标机房编号,经度,纬度,是否共享,所属RNC"_s};
    QList<Job> planned;
    QSet<QString> used;
    QHash<QString, QList<QStringList>> moving;
    QHash<QString, QList<QStringList>> free;
    for (const QString& net : Networks) {
        const QString n = net.toLower();
        query.exec(
            u"select b.basecode, b.basenum, b.longitude, b.latitude, b.belongbsc from res_%1bts b join "
            u"res_baseroom r on r.%1bts = b.basenum, corvan_province_extent e where b.city = '%2' and "
            u"r.city = b.city and b.basenum <> '' and b.longitude between e.lon_min and e.lon_max and "
            u"b.latitude between e.lat_min and e.lat_max order by b.basecode"_s.arg(n, city));
        while (query.next())
            moving[net] << QStringList{query.value(0).toString(), query.value(1).toString(),
                                       query.value(2).toString(), query.value(3).toString(),
                                       query.value(4).toString()};
        query.exec(
            u"select roomcode, roomno from res_baseroom where city = '%2' and (%1bts is null or %1bts = '') "
            u"and roomno is not null and roomno <> '' order by roomcode desc"_s.arg(n, city));
        while (query.next())
            free[net] << QStringList{query.value(0).toString(), query.value(1).toString()};
    }
    for (int k = 0; planned.size() < rows && k < 10 * rows; ++k) {
        const QString net = Networks.at(k % Networks.size());
        while (!free[net].isEmpty() && used.contains(free[net].first().at(0)))
            free[net].removeFirst();
        if (moving[net].isEmpty() || free[net].isEmpty())
            continue;
        const QStringList bts = moving[net].takeFirst();
        const QStringList room = free[net].takeFirst();
        used << room.at(0);
        planned << Job{net, bts.at(0), room.at(0)};
        lines << QStringList{net,
                             cityName,
                             bts.at(1),
                             room.at(1),
                             bts.at(2),
                             bts.at(3),
                             net == u"C"_s ? u"否"_s : QString(),
                             net == u"D"_s ? bts.at(4) : QString()}
                     .join(u',');
    }
    if (planned.size() < rows) {
        *error = u"city %1 has BTSs and free rooms for %2 rows of a plan, not %3"_s.arg(city)
                     .arg(planned.size())
                     .arg(rows);
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write((lines.join(u'\n') + u'\n').toUtf8()) < 0) {
        *error = file.errorString();
        return {};
    }
    return planned;
}

// Starts the processes, lets them all begin at once and gathers what each printed; a process
// that did not answer every job it was given is a problem of the run.
std::optional<QList<Outcome>> runJobs(const QString& worker, const QString& database, const QString& user,
                                      const QList<QList<Job>>& jobs, bool provinceLock, double* seconds,
                                      QStringList* problems, const std::function<void()>& started = {})
{
    std::vector<std::unique_ptr<QProcess>> processes;
    for (qsizetype p = 0; p < jobs.size(); ++p) {
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList arguments{u"--loop"_s, database, user};
        if (provinceLock)
            arguments << u"--province-lock"_s;
        processes.back()->start(worker, arguments);
    }
    for (const auto& process : processes) {
        while (!process->canReadLine() && process->waitForReadyRead(60000)) {
        }
        const QString ready = QString::fromUtf8(process->readLine()).trimmed();
        if (ready != u"READY"_s) {
            std::fprintf(stderr, "a user did not get ready: %s\n", qPrintable(ready));
            return std::nullopt;
        }
    }
    QEventLoop loop;
    int running = 0;
    for (const auto& process : processes) {
        running += process->state() != QProcess::NotRunning;
        QObject::connect(process.get(), &QProcess::finished, &loop, [&] {
            if (--running == 0)
                loop.quit();
        });
    }
    QTimer::singleShot(RunTimeoutMs, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    if (started)
        started();
    for (size_t p = 0; p < processes.size(); ++p) {
        QByteArray lines;
        for (const Job& job : jobs.at(qsizetype(p)))
            lines += (QStringList{job.net, job.basecode, job.target}.join(u' ') + u'\n').toUtf8();
        processes[p]->write(lines);
        processes[p]->closeWriteChannel();
    }
    if (running > 0)
        loop.exec();
    *seconds = double(clock.nsecsElapsed()) / 1e9;
    if (processes.empty())
        return QList<Outcome>();
    QList<Outcome> outcomes;
    for (size_t p = 0; p < processes.size(); ++p) {
        QProcess* process = processes[p].get();
        if (process->state() != QProcess::NotRunning) {
            std::fprintf(stderr, "a user did not finish in time\n");
            process->kill();
            process->waitForFinished();
            return std::nullopt;
        }
        qsizetype answered = 0;
        for (const QByteArray& raw : process->readAllStandardOutput().split('\n')) {
            const QStringList f = QString::fromUtf8(raw).split(u' ');
            if (f.size() < 6)
                continue;
            outcomes << Outcome{{f[0], f[1], f[2]}, f[4].toDouble(), f[5], f.mid(6).join(u' ')};
            ++answered;
        }
        if (answered != jobs.at(qsizetype(p)).size() || process->exitStatus() != QProcess::NormalExit ||
            process->exitCode() != 0)
            *problems << u"a user answered %1 of %2 jobs and ended with status %3"_s.arg(answered)
                             .arg(jobs.at(qsizetype(p)).size())
                             .arg(process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1);
    }
    return outcomes;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    // Nearest rank.
    const auto rank = size_t(std::ceil(p / 100.0 * double(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

// Outcomes the mode does not allow: in the disjoint mode every job commits; in the
// contending mode exactly one user wins each target (a room's column of one network; a room
// may be the target of a round of each network), and the others are told it is taken.
QStringList unexpected(const QList<Outcome>& outcomes, bool contending)
{
    QStringList found;
    QHash<QString, int> winners;
    for (const Outcome& o : outcomes) {
        if (o.kind == u"COMMITTED"_s)
            ++winners[o.job.net + u' ' + o.job.target];
        else if (!contending || (o.kind != u"NEXT-REFUSED"_s && o.kind != u"REFUSED"_s))
            found << u"%1 BTS %2 to room %3: %4 %5"_s.arg(o.job.net, o.job.basecode, o.job.target, o.kind,
                                                          o.detail);
    }
    if (contending) {
        QSet<QString> targets;
        for (const Outcome& o : outcomes)
            targets.insert(o.job.net + u' ' + o.job.target);
        for (const QString& target : std::as_const(targets))
            if (winners.value(target) != 1)
                found << u"the %1 column of room %2 was won %3 times"_s
                             .arg(target.section(u' ', 0, 0), target.section(u' ', 1))
                             .arg(winners.value(target));
    }
    return found;
}

struct Setup {
    QString worker, database, user, mode, planFile;
    int jobs = 0;
    int planRows = 0;
    bool contending() const { return mode == u"contending"_s; }
};

// The user's cities, in code order.
QStringList userCities(const QSqlDatabase& db, const QString& user)
{
    return column(db, u"select city_id from host_right where username = '%1' and funcno = '13' order by "
                      u"city_id"_s.arg(user));
}

// The plan of the plan mode, applied by the plan command while the other processes relocate:
// its seconds and the commits it made, each row's record read from its journal entry.
struct PlanProcess {
    QProcess process;
    QElapsedTimer clock;
    double seconds = 0;
    double checkMs = 0;
    double applyMs = 0;
    QList<Job> planned;
    QString city;

    QStringList finish(const QSqlDatabase& db, QList<bench::LoadChecks::Commit>* commits)
    {
        if (!process.waitForFinished(RunTimeoutMs))
            process.kill();
        seconds = double(clock.nsecsElapsed()) / 1e9;
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        static const QRegularExpression Done(u"^PLAN (\\d+) ([0-9.]+) ([0-9.]+)"_s,
                                             QRegularExpression::MultilineOption);
        const QRegularExpressionMatch done = Done.match(out);
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 || !done.hasMatch())
            return {u"the plan was not applied (status %1): %2"_s.arg(process.exitCode())
                        .arg(out.left(600).trimmed())};
        const QString code = done.captured(1);
        checkMs = done.captured(2).toDouble();
        applyMs = done.captured(3).toDouble();
        QHash<int, QString> records;
        QSqlQuery query(db);
        query.exec(u"select planrow, discode from corvan_journal where plancode = '%1'"_s.arg(code));
        while (query.next())
            records.insert(query.value(0).toInt(), query.value(1).toString());
        for (qsizetype i = 0; i < planned.size(); ++i)
            *commits << bench::LoadChecks::Commit{planned.at(i).net, planned.at(i).basecode,
                                                  planned.at(i).target, records.value(int(i) + 2)};
        return {};
    }
};

// One run of that many processes: prints its figures and its violations, and returns how
// many violations it found.
int measure(const Setup& setup, int processes, const QSqlDatabase& db, bench::LoadChecks& checks,
            std::mt19937& random)
{
    const QStringList cities = userCities(db, setup.user);
    QStringList cityOf;
    std::unique_ptr<PlanProcess> planProcess;
    if (setup.mode == u"cities"_s || setup.mode == u"province"_s) {
        cityOf = cities;
    } else if (setup.mode == u"plan"_s) {
        // The plan in the first city, the relocators in the others; the plan is one of the
        // processes.
        planProcess = std::make_unique<PlanProcess>();
        planProcess->city = cities.value(0);
        cityOf = cities.mid(1);
        QString error;
        planProcess->planned = writePlan(db, planProcess->city, setup.planRows, setup.planFile, &error);
        if (planProcess->planned.isEmpty() || cityOf.isEmpty()) {
            std::printf("  violation: no plan: %s\n", qPrintable(error));
            return 1;
        }
        --processes;
    }
    const QList<QList<Job>> planned =
        plan(db, setup.user, setup.contending(), processes, setup.jobs, random, cityOf);
    const QSet<QString> before = checks.recordCodes();
    Figures figures;
    QStringList found;
    const auto startPlan = [&] {
        if (!planProcess)
            return;
        planProcess->process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        planProcess->process.setProcessEnvironment(environment);
        planProcess->clock.start();
        planProcess->process.start(setup.worker, {u"--plan"_s, setup.database, setup.user, setup.planFile});
    };
    const auto outcomes = runJobs(setup.worker, setup.database, setup.user, planned,
                                  setup.mode == u"province"_s, &figures.seconds, &found, startPlan);
    if (!outcomes)
        return 1;
    QList<bench::LoadChecks::Commit> commits;
    if (planProcess)
        found += planProcess->finish(db, &commits);
    for (const Outcome& o : *outcomes) {
        if (o.kind == u"COMMITTED"_s) {
            ++figures.committed;
            figures.commitMs.push_back(o.commitMs);
            commits << bench::LoadChecks::Commit{o.job.net, o.job.basecode, o.job.target, o.detail};
        }
        figures.nextRefused += o.kind == u"NEXT-REFUSED"_s;
        figures.refused += o.kind == u"REFUSED"_s;
        figures.busy += o.kind == u"BUSY"_s;
        figures.errors += o.kind == u"ERROR"_s;
    }
    std::printf("%-10s %3d %5lld %9d %3d+%-3d %5d %5d %8.2f %8.1f %10.2f %10.2f\n", qPrintable(setup.mode),
                processes + (planProcess ? 1 : 0), static_cast<long long>(outcomes->size()),
                figures.committed, figures.nextRefused, figures.refused, figures.busy, figures.errors,
                figures.seconds, double(figures.committed) / figures.seconds,
                percentile(figures.commitMs, 50), percentile(figures.commitMs, 99));
    if (planProcess)
        std::printf("  the plan: %lld rows in city %s, checked in %.2f s and applied in %.2f s (%.2f s in "
                    "all); the relocators of the other cities were done after %.2f s\n",
                    static_cast<long long>(planProcess->planned.size()), qPrintable(planProcess->city),
                    planProcess->checkMs / 1000, planProcess->applyMs / 1000, planProcess->seconds,
                    figures.seconds);
    found += unexpected(*outcomes, setup.contending()) + checks.run(commits, before);
    if (figures.committed == 0 && !planProcess)
        found << u"nothing was committed"_s;
    for (qsizetype i = 0; i < found.size() && i < 20; ++i)
        std::printf("  violation: %s\n", qPrintable(found.at(i)));
    if (found.size() > 20)
        std::printf("  ... %lld violations in all\n", static_cast<long long>(found.size()));
    std::fflush(stdout);
    return int(found.size());
}

bool createDatabase(const host::DatabaseLocation& location, int scale, QString* error)
{
    if (location.isSqlite()) {
        for (const QString& suffix : {u""_s, u"-wal"_s, u"-shm"_s, u"-journal"_s})
            QFile::remove(location.filePath() + suffix);
    } else {
        host::SqlDataService server;
        if (!server.open(location.withDatabaseName(u"postgres"_s), error))
            return false;
        QSqlQuery query(server.database());
        query.exec(u"set client_min_messages = warning"_s);
        if (!query.exec(u"drop database if exists %1 with (force)"_s.arg(location.databaseName())) ||
            !query.exec(u"create database %1"_s.arg(location.databaseName()))) {
            *error = query.lastError().text();
            return false;
        }
    }
    host::SqlDataService data;
    host::DemoOptions options;
    options.rooms = scale;
    return data.open(location, error) && host::createSchema(data.database(), error) &&
           host::createDemoData(data.database(), options, nullptr, error);
}

void dropDatabase(const host::DatabaseLocation& location)
{
    if (location.isSqlite()) {
        for (const QString& suffix : {u""_s, u"-wal"_s, u"-shm"_s})
            QFile::remove(location.filePath() + suffix);
        return;
    }
    host::SqlDataService server;
    QString error;
    if (server.open(location.withDatabaseName(u"postgres"_s), &error))
        QSqlQuery(server.database())
            .exec(u"drop database if exists %1 with (force)"_s.arg(location.databaseName()));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Many users relocating BTSs on one database at once."_s);
    parser.addHelpOption();
    parser.addOption({u"database"_s, u"SQLite file or postgresql:// URL, made afresh."_s, u"FILE|URL"_s});
    parser.addOption({u"scale"_s, u"Rooms in the demo data."_s, u"N"_s, u"3000"_s});
    parser.addOption({u"processes"_s, u"Numbers of processes, one run each."_s, u"LIST"_s, u"1,4,16,32"_s});
    parser.addOption({u"jobs"_s, u"Relocations per process and run."_s, u"J"_s, u"20"_s});
    parser.addOption({u"modes"_s, u"Any of disjoint, contending, cities, province, plan."_s, u"LIST"_s,
                      u"disjoint,contending"_s});
    parser.addOption({u"plan-rows"_s, u"Rows of the plan of the plan mode."_s, u"R"_s, u"1000"_s});
    parser.addOption({u"user"_s, u"The user the processes relocate as."_s, u"NAME"_s, u"admin"_s});
    parser.addOption({u"seed"_s, u"Seed of the choice of BTSs and rooms."_s, u"S"_s, u"1"_s});
    parser.addOption({u"keep"_s, u"Keep the database afterwards."_s});
    parser.process(app);

    host::DatabaseLocation location;
    QString error;
    if (!parser.isSet(u"database"_s) ||
        !host::DatabaseLocation::parse(parser.value(u"database"_s), &location, &error)) {
        std::fprintf(stderr, "corvan-bench-load: --database FILE|URL is needed %s\n", qPrintable(error));
        return 2;
    }
    const QString worker = QDir(QCoreApplication::applicationDirPath()).filePath(u"corvan-commit-probe"_s);
    QTemporaryDir scratch;
    const QString user = parser.value(u"user"_s);
    const int jobs = parser.value(u"jobs"_s).toInt();
    bool countsOk = jobs > 0;
    for (const QString& count : parser.value(u"processes"_s).split(u','))
        countsOk = countsOk && count.toInt() > 0;
    static const QStringList Modes{u"disjoint"_s, u"contending"_s, u"cities"_s, u"province"_s, u"plan"_s};
    for (const QString& mode : parser.value(u"modes"_s).split(u','))
        countsOk = countsOk && Modes.contains(mode);
    countsOk = countsOk && parser.value(u"plan-rows"_s).toInt() > 0;
    if (!countsOk) {
        std::fprintf(stderr,
                     "corvan-bench-load: --jobs, --processes and --plan-rows take positive numbers, "
                     "--modes any of %s\n",
                     qPrintable(Modes.join(u", "_s)));
        return 2;
    }
    std::mt19937 random(parser.value(u"seed"_s).toUInt());
    QElapsedTimer made;
    made.start();
    if (!createDatabase(location, parser.value(u"scale"_s).toInt(), &error)) {
        std::fprintf(stderr, "corvan-bench-load: cannot make the database: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s, demo data of %s rooms made in %.1f s; %d relocations per process and run, as %s\n",
                location.isSqlite() ? "SQLite" : "PostgreSQL", qPrintable(parser.value(u"scale"_s)),
                double(made.elapsed()) / 1000.0, jobs, qPrintable(user));
    std::printf("(refused: at Next + at commit; p50, p99: commit time of the relocations committed)\n");
    std::printf("%-10s %3s %5s %9s %7s %5s %5s %8s %8s %10s %10s\n", "mode", "N", "jobs", "committed",
                "refused", "busy", "error", "seconds", "rel/s", "p50 ms", "p99 ms");
    std::fflush(stdout);

    host::SqlDataService checker;
    if (!checker.open(location, &error)) {
        std::fprintf(stderr, "corvan-bench-load: %s\n", qPrintable(error));
        return 1;
    }
    int violations = 0;
    {
        bench::LoadChecks checks(checker.database());
        for (const QString& mode : parser.value(u"modes"_s).split(u','))
            for (const QString& count : parser.value(u"processes"_s).split(u','))
                violations +=
                    measure(Setup{worker, location.displayText(), user, mode, scratch.filePath(u"plan.csv"_s),
                                  jobs, parser.value(u"plan-rows"_s).toInt()},
                            count.toInt(), checker.database(), checks, random);
    }
    checker.close();
    if (!parser.isSet(u"keep"_s))
        dropDatabase(location);
    if (violations == 0)
        std::printf("checks: every invariant holds\n");
    else
        std::printf("checks: %d violations\n", violations);
    return violations == 0 ? 0 : 1;
}
