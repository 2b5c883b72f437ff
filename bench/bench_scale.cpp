// SPDX-License-Identifier: MIT
// The province at full size, side by side with the raw engine: each piece of work a user waits
// for, done as the user does it (the real windows, built and clicked offscreen), then the same
// statements through the engine's own C interface on a connection of its own. One line per
// piece of work, tab-separated:
//   work, rooms, engine, project ms, raw ms, ratio, statements, peak MiB, sent
// (medians of --runs runs; the peak is the process's resident high-water mark during the work;
// sent is each kind of statement once, literals left out, with how often it went).
//
//   corvan-bench-scale [--scale N] [--database URL] [--dir DIR] [--runs R] [--only WORK,...]
//
// SQLite by default, in DIR/corvan-scale-N.sqlite (kept, and used again while it holds N rooms);
// --database postgresql://... for a server, whose schema is replaced when it does not hold N
// rooms. The demo province gets N relocation records over random rooms of it, and the first G
// BTS of its largest city is given 60 cells, relocated and reversed.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench_recorder.h"
#include "browser/frm_main.h"
#include "browser/frm_q_in_base_room.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/resource_view.h"
#include "core/context/wizard_prompt.h"
#include "core/plan/plan_columns.h"
#include "core/plan/plan_reversal.h"
#include "core/plan/plan_run.h"
#include "core/relocation/relocation_session.h"
#include "core/reversal/reversal.h"
#include "corvan/component.h"
#include "corvan/controls/property_grid.h"
#include "corvan/controls/property_item.h"
#include "data/database_location.h"
#include "data/sql_data_service.h"
#include "desktop/host_services.h"
#include "desktop/resource_view_service_impl.h"
#include "entry/cls_main.h"
#include "history/frm_q_dispath_his.h"
#include "history/frm_view_history.h"
#include "raw_engine.h"
#include "relocation/frm_move_bts.h"
#include "scale_data.h"
#include "ui/active_bar.h"

using namespace corvan;
using namespace corvan::bench;
using namespace Qt::StringLiterals;

namespace {

constexpr int CellsOfTheBts = 60;

[[noreturn]] void fail(const QString& what)
{
    std::fprintf(stderr, "corvan-bench-scale: %s\n", qPrintable(what));
    std::exit(1);
}

// The resident high-water mark, which a write of "5" to clear_refs sets back to the present.
void resetPeak()
{
    QFile refs(u"/proc/self/clear_refs"_s);
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

double peakMiB()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double ms(qint64 startNs, qint64 endNs)
{
    return double(endNs - startNs) / 1e6;
}

// What was sent between two moments of the recorder's clock.
QVector<Sent> between(const QVector<Sent>& sent, qint64 fromNs, qint64 toNs)
{
    QVector<Sent> out;
    for (const Sent& s : sent)
        if (s.doneNs > fromNs && s.doneNs <= toNs)
            out.append(s);
    return out;
}

// Everything the event loop has to do now: layouts, paints, work posted for later.
void settle()
{
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::sendPostedEvents();
        QApplication::processEvents();
    }
}

struct Figures {
    std::vector<double> project;
    std::vector<double> raw;
    int statements = 0;
    QString sent;
    double peak = 0;
};

// When a widget has finished painting, the first time after arm(): the moment the user sees it.
class PaintWatch : public QObject {
public:
    PaintWatch(QWidget* widget, const BenchRecorder& clock) : m_clock(clock)
    {
        widget->installEventFilter(this);
    }
    void arm() { m_done = -1; }
    qint64 done() const { return m_done; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint || m_done >= 0 || m_inside)
            return false;
        m_inside = true;
        QCoreApplication::sendEvent(watched, event);
        m_inside = false;
        m_done = m_clock.now();
        return true;
    }

private:
    const BenchRecorder& m_clock;
    qint64 m_done = -1;
    bool m_inside = false;
};

class SilentPrompt : public WizardPrompt {
public:
    void showMessage(const QString& text, Icon) override { told = text; }
    bool askRetry(const QString& text, const QString&) override
    {
        told = text;
        return false;
    }
    bool ask(const QString&) override { return false; }
    QString told;
};

class Bench {
public:
    Bench(int scale, int runs, const host::DatabaseLocation& location, const QStringList& only)
        : m_scale(scale), m_runs(runs), m_location(location), m_only(only)
    {}

    void run();

private:
    void print(const QString& work, const Figures& f);
    double replay(const QVector<Sent>& sent, bool commit = false);
    // Does the work as the user does and adds what it took, until the event loop is idle.
    template <class Work> void measure(Figures& f, Work work);
    void take(Figures& f, double projectMs, const QVector<Sent>& sent, bool commit = false);

    void browser(clsMain& component);
    void wizard(clsMain& component);
    void history(clsMain& component);
    void commits(const QString& variant);
    void plans();
    // A relocation session for the moving BTS, past Next, towards its other room.
    std::unique_ptr<RelocationSession> sessionPastNext(PropertyItems& page, SilentPrompt& prompt);

    bool wanted(const QString& work) const { return m_only.isEmpty() || m_only.contains(work); }

    int m_scale;
    int m_runs;
    host::DatabaseLocation m_location;
    QStringList m_only;
    host::SqlDataService m_data;
    std::unique_ptr<ScaleData> m_prep;
    std::unique_ptr<host::HostServices> m_services;
    std::unique_ptr<BenchRecorder> m_recorder;
    QVector<QObject*> m_objects;
    mdlPubVar m_context;
    RawEngine m_raw;
    MovingBts m_bts;
};

void Bench::print(const QString& work, const Figures& f)
{
    const double project = median(f.project);
    // Work that sent nothing has no raw engine to be compared with.
    const double raw = f.statements > 0 ? median(f.raw) : -1;
    const QString rawText = raw < 0 ? u"-"_s : QString::number(raw, 'f', 1);
    const QString ratio = raw <= 0 ? u"-"_s : QString::number(project / raw, 'f', 2);
    std::printf("%s\t%d\t%s\t%.1f\t%s\t%s\t%d\t%.0f\t%s\n", qPrintable(work), m_scale,
                m_location.isSqlite() ? "sqlite" : "postgresql", project, qPrintable(rawText),
                qPrintable(ratio), f.statements, f.peak, qPrintable(f.sent));
    std::fflush(stdout);
}

double Bench::replay(const QVector<Sent>& sent, bool commit)
{
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!m_raw.replay(sent, commit, &error))
        fail(u"the raw replay failed: "_s + error);
    return double(timer.nsecsElapsed()) / 1e6;
}

void Bench::take(Figures& f, double projectMs, const QVector<Sent>& sent, bool commit)
{
    f.project.push_back(projectMs);
    f.statements = BenchRecorder::statements(sent);
    f.sent = BenchRecorder::shapes(sent);
    f.peak = std::max(f.peak, peakMiB());
    f.raw.push_back(replay(sent, commit));
}

template <class Work> void Bench::measure(Figures& f, Work work)
{
    settle();
    m_recorder->clear();
    resetPeak();
    const qint64 start = m_recorder->now();
    work();
    settle();
    take(f, ms(start, m_recorder->now()), m_recorder->sent());
}

// The room search and the main window: the tree of every city, of one city, one room by its
// name, and a click on that room.
void Bench::browser(clsMain& component)
{
    auto* main = component.loaded<frmMain>();
    frmQInBaseRoom* search = main->roomSearch();
    auto* city = search->findChild<QComboBox*>(u"cboCity"_s);
    auto* cityIds = search->findChild<QComboBox*>(u"cboCityBack"_s);
    auto* name = search->findChild<QLineEdit*>(u"txtName"_s);
    auto* number = search->findChild<QLineEdit*>(u"txtNo"_s);
    auto* query = search->findChild<QAbstractButton*>(u"cmdOk"_s);
    auto* tree = search->findChild<QTreeWidget*>(u"tvwRoom"_s);
    const auto criteria = [&](int cityIndex, const QString& roomName) {
        search->FillRoomTree(QString());
        city->setCurrentIndex(cityIndex);
        name->setText(roomName);
        number->clear();
    };

    Figures all;
    Figures oneCity;
    Figures byName;
    Figures shown;
    const int bigCity = cityIds->findText(m_bts.city);
    for (int run = 0; run < m_runs; ++run) {
        criteria(0, QString());
        measure(all, [&] { query->click(); });
        criteria(bigCity, QString());
        measure(oneCity, [&] { query->click(); });
        criteria(0, m_bts.rooms[0]);
        measure(byName, [&] { query->click(); });
        QTreeWidgetItem* room = search->node(u"L4"_s + m_bts.city + m_bts.rooms[0]);
        if (!room)
            fail(u"the room %1 is not in the tree"_s.arg(m_bts.rooms[0]));
        tree->scrollToItem(room);
        settle();
        const QPoint at = tree->visualItemRect(room).center();
        measure(shown, [&] { QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at); });
    }
    print(u"room tree 全部"_s, all);
    print(u"room tree: one city"_s, oneCity);
    print(u"room tree: one room by name"_s, byName);
    print(u"show a room"_s, shown);
}

// The wizard as the main window's command opens it on the room's G BTS, and its room picker.
void Bench::wizard(clsMain& component)
{
    auto* main = component.loaded<frmMain>();
    main->findChild<QTabWidget*>(u"sstMain"_s)->setCurrentIndex(0);
    Figures open;
    Figures picker;
    for (int run = 0; run < m_runs; ++run) {
        measure(open, [&] { main->bar()->tool(u"mnuDispatch"_s)->trigger(); });
        auto* wizard = component.loaded<frmMoveBts>();
        if (!wizard || !wizard->session().ready())
            fail(u"the wizard did not open on the BTS"_s);
        auto* button = wizard->findChild<QAbstractButton*>(u"cmdRoom"_s);
        measure(picker, [&] { button->click(); });
        auto* dialog = wizard->findChild<QDialog*>(u"RoomPickerDialog"_s);
        if (!dialog || !dialog->isVisible())
            fail(u"the room picker did not open"_s);
        dialog->reject();
        wizard->close();
        settle();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    print(u"wizard: BTS of %1 cells, city of %2 rooms"_s.arg(CellsOfTheBts).arg(m_prep->cityRooms(m_bts)),
          open);
    print(u"wizard: room picker, %1 rooms"_s.arg(m_prep->cityRooms(m_bts)), picker);
}

// The history window as the main window's command opens it: a year's list until its first
// screen has painted, then what follows until the window is idle (the chart), a filter typed,
// and the list's last screen.
void Bench::history(clsMain& component)
{
    auto* main = component.loaded<frmMain>();
    main->bar()->tool(u"mnuHistory"_s)->trigger();
    settle();
    auto* window = component.loaded<frmViewHistory>();
    if (!window)
        fail(u"the history window did not open"_s);
    frmQDispathHis* panel = window->queryPanel();
    auto* query = panel->findChild<QAbstractButton*>(u"cmdQuery"_s);
    auto* reset = panel->findChild<QAbstractButton*>(u"cmdReset"_s);
    auto* filter = panel->findChild<QLineEdit*>(u"txtFilter"_s);
    auto* rows = panel->list()->findChild<QTreeView*>(u"rows"_s);
    PaintWatch watch(rows->viewport(), *m_recorder);

    Figures screen;
    Figures rest;
    Figures filtered;
    Figures last;
    for (int run = 0; run < m_runs; ++run) {
        filter->clear();
        reset->click();
        panel->findChild<QDateEdit*>(u"dtBegin"_s)->setDate(QDate(2025, 1, 1));
        panel->findChild<QDateEdit*>(u"dtEnd"_s)->setDate(QDate(2025, 12, 31));
        settle();
        m_recorder->clear();
        resetPeak();
        watch.arm();
        const qint64 start = m_recorder->now();
        query->click();
        settle();
        const qint64 idle = m_recorder->now();
        const qint64 painted = watch.done() < 0 ? idle : watch.done();
        take(screen, ms(start, painted), between(m_recorder->sent(), start, painted));
        take(rest, ms(painted, idle), between(m_recorder->sent(), painted, idle));
        if (run == 0)
            std::fprintf(stderr, "history: %ld records listed; %s\n", panel->list()->Items().ItemCount(),
                         qPrintable(panel->countText()));
        // In the list, on its first row (the first key only goes there), then to its end.
        rows->setFocus();
        QTest::keyClick(rows, Qt::Key_Home);
        measure(last, [&] { QTest::keyClick(rows, Qt::Key_End); });
        measure(filtered, [&] { filter->setText(m_bts.rooms[0]); });
        if (run == 0)
            std::fprintf(stderr, "history, filtered by %s: %s\n", qPrintable(m_bts.rooms[0]),
                         qPrintable(panel->countText()));
    }
    print(u"history list: first screen"_s, screen);
    print(u"history list: after the first screen"_s, rest);
    print(u"history list: last screen (End)"_s, last);
    print(u"history list: filter typed"_s, filtered);
    window->close();
    settle();
}

std::unique_ptr<RelocationSession> Bench::sessionPastNext(PropertyItems& page, SilentPrompt& prompt)
{
    QMap<QString, AttrTable> attrMap;
    if (!ResourceView::GetResourceData(m_context, u"v_res_gbts"_s, m_bts.code, &attrMap[u"G"_s]))
        fail(u"the BTS %1 cannot be read"_s.arg(m_bts.code));
    auto session = std::make_unique<RelocationSession>(m_context, page, prompt);
    if (!session->start(u"G"_s, attrMap, true))
        fail(u"the wizard cannot be opened"_s);
    page.GetItem(u"city"_s)->setValue(m_bts.cityName);
    page.GetItem(u"belongroom"_s)->setValue(m_bts.rooms[1]);
    session->edited();
    if (!session->next())
        fail(u"Next was refused: "_s + prompt.told);
    return session;
}

// A relocation and its reversal, each with a real commit on both sides: the raw engine commits
// what a rehearsal of the project's relocation sent (rolled back), the project reverses that, then
// relocates for real, and the raw engine commits a rehearsed reversal of it. The BTS ends where it
// began, with its cells back.
void Bench::commits(const QString& variant)
{
    Figures commit;
    Figures reversal;
    for (int run = 0; run < m_runs; ++run) {
        QVector<Sent> rehearsed;
        {
            PropertyItems page;
            SilentPrompt prompt;
            auto session = sessionPastNext(page, prompt);
            m_recorder->clear();
            m_recorder->setRehearsal(true);
            const bool done = session->commit();
            m_recorder->setRehearsal(false);
            if (!done)
                fail(u"the rehearsed commit failed: "_s + prompt.told);
            rehearsed = m_recorder->sent();
        }
        commit.raw.push_back(replay(rehearsed, true));

        QString record = m_prep->latestRecord();
        Reversal::Plan plan = Reversal::plan(m_context, record);
        if (!plan.ok())
            fail(u"the raw relocation cannot be reversed: "_s + plan.refusal);
        m_recorder->clear();
        resetPeak();
        qint64 start = m_recorder->now();
        CommitOutcome undone = Reversal::run(m_context, record, plan.rows);
        if (!undone.done())
            fail(u"the reversal failed: "_s + undone.message + u' ' + undone.details);
        reversal.project.push_back(ms(start, m_recorder->now()));
        reversal.statements = m_recorder->statements();
        reversal.sent = BenchRecorder::shapes(m_recorder->sent());
        reversal.peak = std::max(reversal.peak, peakMiB());

        {
            PropertyItems page;
            SilentPrompt prompt;
            auto session = sessionPastNext(page, prompt);
            m_recorder->clear();
            resetPeak();
            start = m_recorder->now();
            if (!session->commit())
                fail(u"the commit failed: "_s + prompt.told);
            commit.project.push_back(ms(start, m_recorder->now()));
            commit.statements = m_recorder->statements();
            commit.sent = BenchRecorder::shapes(m_recorder->sent());
            commit.peak = std::max(commit.peak, peakMiB());
        }

        record = m_prep->latestRecord();
        plan = Reversal::plan(m_context, record);
        m_recorder->clear();
        m_recorder->setRehearsal(true);
        undone = Reversal::run(m_context, record, plan.rows);
        m_recorder->setRehearsal(false);
        if (!undone.done())
            fail(u"the rehearsed reversal failed: "_s + undone.message + u' ' + undone.details);
        reversal.raw.push_back(replay(m_recorder->sent(), true));
    }
    print(u"commit: BTS of %1 cells, %2"_s.arg(CellsOfTheBts).arg(variant), commit);
    print(u"reversal: BTS of %1 cells, %2"_s.arg(CellsOfTheBts).arg(variant), reversal);
}

// A plan of PlanRows rows checked, applied in one commit and reversed as one; then the same
// relocations committed one by one, each the apply of a plan of its own row after that row's
// check (which is not timed): the work of a night with and without a plan. Everything
// applied is reversed, so that the province is as it was for the next run.
void Bench::plans()
{
    constexpr int PlanRows = 1000;
    QStringList headings;
    const PlanColumns columns = PlanColumns::of(m_context);
    for (const PlanColumn& column : columns.columns())
        headings << column.heading;
    const QList<QStringList> sheet = m_prep->planSheet(headings, PlanRows, m_bts);
    const int rows = int(sheet.size()) - 1;
    const PlanSource source{u"bench"_s, u"bench.csv"_s, u"0"_s};
    Figures check;
    Figures rehearsed;
    Figures apply;
    Figures reverse;
    Figures oneByOne;
    for (int run = 0; run < m_runs; ++run) {
        PlanRun plan(m_context);
        QString error;
        if (!plan.load(sheet, &error))
            fail(u"the plan cannot be read: "_s + error);
        m_recorder->clear();
        resetPeak();
        qint64 start = m_recorder->now();
        CommitOutcome outcome = plan.check();
        const qint64 checked = m_recorder->now();
        if (!outcome.done()) {
            for (const PlanRowResult& result : plan.results())
                if (!result.passed())
                    fail(u"row %1 of the plan was refused: %2"_s.arg(result.line).arg(result.verdict));
            fail(u"the check failed: "_s + outcome.message);
        }
        // The check's work was rolled back: the raw engine replays it and rolls back too.
        take(check, ms(start, checked), m_recorder->sent());
        if (!wanted(u"plan"_s)) {
            // Beside it, the check as it was made before: each row written in a transaction
            // that is rolled back.
            PlanRun rehearsal(m_context);
            rehearsal.setRehearsal(true);
            if (!rehearsal.load(sheet, &error))
                fail(u"the plan cannot be read: "_s + error);
            m_recorder->clear();
            resetPeak();
            start = m_recorder->now();
            if (!rehearsal.check().done())
                fail(u"the rehearsal refused the plan the check let pass"_s);
            take(rehearsed, ms(start, m_recorder->now()), m_recorder->sent());
            continue;
        }

        m_recorder->clear();
        resetPeak();
        start = m_recorder->now();
        outcome = plan.apply(source);
        if (!outcome.done())
            fail(u"the plan was not applied: "_s + outcome.message);
        apply.project.push_back(ms(start, m_recorder->now()));
        apply.statements = m_recorder->statements();
        apply.sent = BenchRecorder::shapes(m_recorder->sent());
        apply.peak = std::max(apply.peak, peakMiB());

        const PlanReversal::Preview preview = PlanReversal::preview(m_context, outcome.recordCode);
        if (!preview.ok())
            fail(u"the plan cannot be reversed: "_s + preview.refusal);
        m_recorder->clear();
        resetPeak();
        start = m_recorder->now();
        outcome = PlanReversal::run(m_context, preview);
        if (!outcome.done())
            fail(u"the plan was not reversed: "_s + outcome.message);
        reverse.project.push_back(ms(start, m_recorder->now()));
        reverse.statements = m_recorder->statements();
        reverse.sent = BenchRecorder::shapes(m_recorder->sent());
        reverse.peak = std::max(reverse.peak, peakMiB());

        double total = 0;
        int statements = 0;
        QStringList records;
        for (int row = 1; row <= rows; ++row) {
            PlanRun single(m_context);
            if (!single.load({sheet.first(), sheet.at(row)}, &error) || !single.check().done())
                fail(u"row %1 alone was refused: %2"_s.arg(row).arg(single.results().value(0).verdict));
            m_recorder->clear();
            start = m_recorder->now();
            outcome = single.apply(source);
            total += ms(start, m_recorder->now());
            statements += m_recorder->statements();
            if (!outcome.done())
                fail(u"row %1 alone was not applied: %2"_s.arg(row).arg(outcome.message));
            records << single.results().first().record;
        }
        oneByOne.project.push_back(total);
        oneByOne.statements = statements;
        oneByOne.sent = u"-"_s;
        for (qsizetype i = records.size() - 1; i >= 0; --i) {
            const Reversal::Plan back = Reversal::plan(m_context, records.at(i));
            if (!back.ok() || !Reversal::run(m_context, records.at(i), back.rows).done())
                fail(u"the relocation %1 cannot be reversed: %2"_s.arg(records.at(i), back.refusal));
        }
    }
    const QString size = u"%1 rows"_s.arg(rows);
    print(u"plan check: "_s + size, check);
    if (!wanted(u"plan"_s)) {
        print(u"plan check by rehearsal: "_s + size, rehearsed);
        return;
    }
    print(u"plan apply: "_s + size, apply);
    print(u"plan reversal: "_s + size, reverse);
    print(u"the same relocations one by one: "_s + size, oneByOne);
    std::fprintf(stderr, "plan apply / one by one: %.2f\n", median(apply.project) / median(oneByOne.project));
}

void Bench::run()
{
    QString error;
    if (!m_data.open(m_location, &error))
        fail(error);
    m_prep = std::make_unique<ScaleData>(m_data.database());
    if (!m_prep->prepare(m_scale, &error) || !m_prep->fillHistory(m_scale, &error) ||
        !m_prep->vacuum(&error) || !m_prep->chooseBts(&m_bts, &error) ||
        !m_prep->giveCells(m_bts, CellsOfTheBts, 1, &error))
        fail(error);
    m_services = std::make_unique<host::HostServices>(&m_data);
    m_services->configure(u"admin"_s, QString());
    m_recorder = std::make_unique<BenchRecorder>(&m_data, m_services->resourceView());
    m_services->replaceDataObject(m_recorder.get());
    m_objects = m_services->objectArray();
    m_objects[HostSlot::ResourceView] = m_recorder.get();
    if (m_context.setServices(m_objects) != mdlPubVar::Services::Stored)
        fail(u"the services were refused"_s);
    if (!m_raw.open(m_location, &error))
        fail(error);

    std::printf("work\trooms\tengine\tproject ms\traw ms\tratio\tstatements\tpeak MiB\tsent\n");
    if (wanted(u"tree"_s) || wanted(u"wizard"_s) || wanted(u"history"_s)) {
        clsMain component;
        component.initEnv(m_objects);
        component.ShowMainForm();
        settle();
        // The wizard opens on the BTS of the room on show, so the browser comes first.
        if (wanted(u"tree"_s) || wanted(u"wizard"_s))
            browser(component);
        if (wanted(u"wizard"_s))
            wizard(component);
        if (wanted(u"history"_s))
            history(component);
        component.clearEnv();
    }
    if (wanted(u"commit"_s)) {
        if (!m_prep->setHistoryAside(&error))
            fail(error);
        commits(u"no history"_s);
        if (!m_prep->restoreHistory(&error))
            fail(error);
        commits(u"history of %1"_s.arg(m_prep->count(u"h_btsdispatch"_s)));
    }
    if (wanted(u"plan"_s) || wanted(u"plan-check"_s))
        plans();
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(u"The component on a province of N rooms, beside the raw engine."_s);
    parser.addHelpOption();
    parser.addOption(
        {u"scale"_s, u"Rooms of the province, and relocation records (default 1000)."_s, u"N"_s, u"1000"_s});
    parser.addOption(
        {u"database"_s, u"A PostgreSQL database (postgresql://...) instead of an SQLite file."_s, u"URL"_s});
    parser.addOption(
        {u"dir"_s, u"Where the SQLite file is kept (default: the current folder)."_s, u"DIR"_s, u"."_s});
    parser.addOption(
        {u"runs"_s, u"Runs of each piece of work; medians are printed (default 3)."_s, u"R"_s, u"3"_s});
    parser.addOption({u"only"_s,
                      u"Only these pieces of work: tree, wizard, history, commit, plan, plan-check (a plan's "
                      u"check alone) (comma-separated)."_s,
                      u"WORK"_s});
    parser.process(app);
    bool ok = false;
    const int scale = parser.value(u"scale"_s).toInt(&ok);
    if (!ok || scale < 10)
        fail(u"--scale needs a number of at least 10"_s);
    const int runs = parser.value(u"runs"_s).toInt(&ok);
    if (!ok || runs < 1)
        fail(u"--runs needs a number of at least 1"_s);
    host::DatabaseLocation location;
    QString error;
    const QString where =
        parser.isSet(u"database"_s)
            ? parser.value(u"database"_s)
            : QDir(parser.value(u"dir"_s)).absoluteFilePath(u"corvan-scale-%1.sqlite"_s.arg(scale));
    if (!host::DatabaseLocation::parse(where, &location, &error))
        fail(error);
    const QStringList only = parser.value(u"only"_s).split(QLatin1Char(','), Qt::SkipEmptyParts);
    Bench(scale, runs, location, only).run();
    return 0;
}
