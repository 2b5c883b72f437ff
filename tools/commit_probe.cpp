// SPDX-License-Identifier: MIT
// A second user, as a process of its own: relocates a BTS through the relocation session
// the wizard drives, so tests can run relocations at the same moment and the load
// benchmark can run many users at once.
//
// corvan-commit-probe DATABASE CITY_ID ROOM NET TARGET_ROOM GO_FILE
//   One relocation within the city, committed when GO_FILE appears. Prints
//   "NEXT-REFUSED <message>", "COMMITTED" or "REFUSED <message>".
// corvan-commit-probe --loop DATABASE USER [--province-lock]
//   With --province-lock each commit takes the whole writers' lock, as before cities were
//   locked apart (for the benchmark's comparison). Prints "READY" once connected, then reads jobs from
//   standard input, one a line: "NET BASECODE TARGET_ROOMCODE". For each it chooses the target's city and
//   room as a user would, passes Next and commits, and prints one line: "NET BASECODE TARGET TOTAL_MS
//   COMMIT_MS OUTCOME [RECORD_CODE|MESSAGE]", OUTCOME being COMMITTED, NEXT-REFUSED, REFUSED, BUSY (another
//   writer held the lock too long) or ERROR.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cstdio>
#include <iostream>
#include <string>

#include "core/context/divisions.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/resource_view.h"
#include "core/context/sql_literal.h"
#include "core/context/wizard_prompt.h"
#include "core/plan/plan_run.h"
#include "core/relocation/relocation_session.h"
#include "core/rooms/room_lookup.h"
#include "corvan/controls/property_item.h"
#include "data/sql_data_service.h"
#include "desktop/host_services.h"

using namespace corvan;

namespace {

// What the user would have been told, the last message kept. The user never retries.
class LastMessage : public WizardPrompt {
public:
    void showMessage(const QString& text, Icon) override { told = text; }
    bool askRetry(const QString& text, const QString&) override
    {
        told = text;
        busy = true;
        return false;
    }
    bool ask(const QString&) override { return false; }
    QString told;
    bool busy = false;
};

// The BTS of a network with that code, as the main window hands it to the wizard.
bool btsTables(const mdlPubVar& context, const QString& net, const QString& code,
               QMap<QString, AttrTable>* attrMap)
{
    return ResourceView::GetResourceData(
        context, QStringLiteral("v_res_") + networkName(net) + QStringLiteral("bts"), code, &(*attrMap)[net]);
}

// One line, so that the reader never sees a message split by a line break.
QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

// Picks the option of a row by its code, as a user picks it by its caption, and tells the session.
bool choose(RelocationSession& session, PropertyItems& page, const QString& row, const QString& code)
{
    PropertyItem* item = page.HasItem(row) ? page.GetItem(row) : nullptr;
    const QString key = QStringLiteral("K:") + code;
    if (!item || !item->Children().HasItem(key))
        return false;
    item->setValue(item->Children().GetItem(key)->Caption());
    session.valueChanged(item);
    return true;
}

// One job of the loop: the printed line.
QString relocate(mdlPubVar& context, const QString& net, const QString& code, const QString& target)
{
    QElapsedTimer clock;
    clock.start();
    qint64 commitNs = 0;
    const auto line = [&](const QString& outcome, const QString& detail) {
        return QStringList{net,
                           code,
                           target,
                           QString::number(double(clock.nsecsElapsed()) / 1e6, 'f', 3),
                           QString::number(double(commitNs) / 1e6, 'f', 3),
                           outcome,
                           detail}
            .join(QLatin1Char(' '))
            .trimmed();
    };
    QMap<QString, AttrTable> attrMap;
    const auto city =
        context.db().firstText(QStringLiteral("select city from res_baseroom where roomcode='") +
                               sqlText(target) + QLatin1Char('\''));
    if (!btsTables(context, net, code, &attrMap) || !city)
        return line(QStringLiteral("ERROR"), QStringLiteral("no such BTS or room"));
    PropertyItems page;
    LastMessage prompt;
    RelocationSession session(context, page, prompt);
    QString record;
    QObject::connect(&session, &RelocationSession::relocated,
                     [&record](const QString&, const QString&, const QString& made) { record = made; });
    if (!session.start(net, attrMap, true))
        return line(QStringLiteral("ERROR"), QStringLiteral("the page could not be built"));
    if (!choose(session, page, QStringLiteral("city"), *city) ||
        !choose(session, page, QStringLiteral("belongroom"), target))
        return line(QStringLiteral("ERROR"), QStringLiteral("the target is not offered"));
    session.edited();
    if (!session.next())
        return line(QStringLiteral("NEXT-REFUSED"), prompt.told);
    QElapsedTimer committing;
    committing.start();
    const bool committed = session.commit();
    commitNs = committing.nsecsElapsed();
    if (committed)
        return line(QStringLiteral("COMMITTED"), record);
    return line(prompt.busy ? QStringLiteral("BUSY") : QStringLiteral("REFUSED"), prompt.told);
}

int loop(mdlPubVar& context)
{
    std::printf("READY\n");
    std::fflush(stdout);
    std::string text;
    while (std::getline(std::cin, text)) {
        const QStringList job = QString::fromStdString(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (job.size() != 3)
            continue;
        std::printf("%s\n", qPrintable(oneLine(relocate(context, job.at(0), job.at(1), job.at(2)))));
        std::fflush(stdout);
    }
    return 0;
}

int applyPlan(mdlPubVar& context, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::printf("PLAN-FAILED %s\n", qPrintable(file.errorString()));
        return 1;
    }
    QList<QStringList> sheet;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.trimmed().isEmpty())
            sheet << QString::fromUtf8(line).split(QLatin1Char(','));
    PlanRun plan(context);
    QString error;
    if (!plan.load(sheet, &error)) {
        std::printf("PLAN-FAILED %s\n", qPrintable(error));
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    CommitOutcome outcome = plan.check();
    const double checkMs = double(clock.nsecsElapsed()) / 1e6;
    if (!outcome.done()) {
        std::printf("PLAN-FAILED %s\n", qPrintable(oneLine(outcome.message)));
        for (const PlanRowResult& row : plan.results())
            if (!row.passed())
                std::printf("  row %d: %s\n", row.line, qPrintable(oneLine(row.verdict)));
        return 1;
    }
    clock.restart();
    outcome = plan.apply({QStringLiteral("load"), path, QStringLiteral("0")});
    if (!outcome.done()) {
        std::printf("PLAN-FAILED %s\n", qPrintable(oneLine(outcome.message)));
        return 1;
    }
    std::printf("PLAN %s %.1f %.1f\n", qPrintable(outcome.recordCode), checkMs,
                double(clock.nsecsElapsed()) / 1e6);
    return 0;
}

int once(mdlPubVar& context, const QStringList& args)
{
    // The BTS of that network in the room, as the main window would show it.
    const QString net = args.at(4);
    const QString roomCode = RoomLookup::GetRoomCodeByName(context, args.at(2), args.at(3));
    const auto code = context.db().firstText(
        QStringLiteral("select basecode from v_res_bts where roomcode='") + sqlText(roomCode) +
        QStringLiteral("' and net='") + sqlText(net) + QLatin1Char('\''));
    QMap<QString, AttrTable> attrMap;
    if (!code || !btsTables(context, net, *code, &attrMap)) {
        std::printf("ERROR no %s BTS in that room\n", qPrintable(net));
        return 1;
    }
    PropertyItems page;
    LastMessage prompt;
    RelocationSession session(context, page, prompt);
    if (!session.start(net, attrMap, true)) {
        std::printf("ERROR the page could not be built\n");
        return 1;
    }
    page.GetItem(QStringLiteral("city"))->setValue(mdlPubFun::GetCityName(context, args.at(2)));
    page.GetItem(QStringLiteral("belongroom"))->setValue(args.at(5));
    session.edited();
    if (!session.next()) {
        std::printf("NEXT-REFUSED %s\n", qPrintable(prompt.told));
        return 0;
    }
    // This user has passed Next: say so, and commit when the test says go, at the same
    // moment as the other user.
    {
        QFile ready(args.at(6) + QStringLiteral(".ready.") +
                    QString::number(QCoreApplication::applicationPid()));
        ready.open(QIODevice::WriteOnly);
    }
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo::exists(args.at(6)) && waited.elapsed() < 30000)
        QThread::msleep(2);
    const bool committed = session.commit();
    std::printf("%s\n", committed ? "COMMITTED" : qPrintable(QStringLiteral("REFUSED ") + prompt.told));
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool provinceLock = argc == 5 && args.at(4) == QLatin1String("--province-lock");
    const bool looping = (argc == 4 || provinceLock) && args.at(1) == QLatin1String("--loop");
    const bool planning = argc == 5 && args.at(1) == QLatin1String("--plan");
    if (argc != 7 && !looping && !planning) {
        std::fprintf(stderr, "usage: corvan-commit-probe DATABASE CITY_ID ROOM NET TARGET_ROOM GO_FILE\n"
                             "       corvan-commit-probe --loop DATABASE USER [--province-lock]   (jobs on "
                             "standard input)\n"
                             "       corvan-commit-probe --plan DATABASE USER FILE\n");
        return 2;
    }
    host::SqlDataService data;
    QString error;
    if (!data.open(args.at(looping || planning ? 2 : 1), &error)) {
        std::printf("ERROR %s\n", qPrintable(error));
        return 1;
    }
    data.setProvinceLock(provinceLock);
    // CORVAN_PROBE_TRACE=PREFIX traces every statement to PREFIX.PID.
    if (const QString trace = qEnvironmentVariable("CORVAN_PROBE_TRACE");
        !trace.isEmpty() &&
        !data.setTraceFile(trace + QLatin1Char('.') + QString::number(QCoreApplication::applicationPid()),
                           &error)) {
        std::printf("ERROR %s\n", qPrintable(error));
        return 1;
    }
    host::HostServices services(&data);
    services.configure(looping || planning ? args.at(3) : QStringLiteral("demo"), QStringLiteral("4"));
    mdlPubVar context;
    if (context.setServices(services.objectArray()) != mdlPubVar::Services::Stored) {
        std::printf("ERROR services\n");
        return 1;
    }
    if (planning)
        return applyPlan(context, args.at(4));
    return looping ? loop(context) : once(context, args);
}
