// SPDX-License-Identifier: MIT
// The province at full size, side by side with the raw engine: each piece of work the component
// does on a large database, then the same statements through the engine's own C interface on a
// connection of its own. One line per piece of work, tab-separated:
//   work, rooms, engine, project ms, raw ms, ratio, statements, peak MiB
// (medians of --runs runs; the peak is the process's resident high-water mark during the work).
//
//   corvan-bench-scale [--scale N] [--database URL] [--dir DIR] [--runs R] [--only WORK,...]
//
// SQLite by default, in DIR/corvan-scale-N.sqlite (kept, and used again while it holds N rooms);
// --database postgresql://... for a server, whose schema is replaced when it does not hold N
// rooms. The demo province gets N relocation records over random rooms of it, and the first G
// BTS of its largest city is given 60 cells and relocated back and forth.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench_recorder.h"
#include "browser/frm_q_in_base_room.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/resource_view.h"
#include "core/context/wizard_prompt.h"
#include "core/relocation/relocation_session.h"
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
#include "scale_data.h"

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

double memoryMiB(const char* field)
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').value(0).toDouble() / 1024.0;
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

double msSince(qint64 startNs, qint64 endNs)
{
    return double(endNs - startNs) / 1e6;
}

struct Figures {
    std::vector<double> project;
    std::vector<double> raw;
    int statements = 0;
    double peak = 0;
};

class Bench {
public:
    Bench(int scale, int runs, const host::DatabaseLocation& location, const QStringList& only)
        : m_scale(scale), m_runs(runs), m_location(location), m_only(only)
    {}

    void run();

private:
    void print(const QString& work, const Figures& f);
    double replay(const QVector<Sent>& sent);
    void roomTree();
    void history();
    void commits(const QString& work);
    void wizard();
    // A relocation session for the moving BTS, past Next, towards its other room.
    std::unique_ptr<RelocationSession> sessionPastNext(PropertyItems& page, WizardPrompt& prompt);

    bool wanted(const QString& work) const { return m_only.isEmpty() || m_only.contains(work); }

    int m_scale;
    int m_runs;
    host::DatabaseLocation m_location;
    QStringList m_only;
    host::SqlDataService m_data;
    std::unique_ptr<ScaleData> m_prep;
    std::unique_ptr<host::HostServices> m_services;
    std::unique_ptr<BenchRecorder> m_recorder;
    mdlPubVar m_context;
    RawEngine m_raw;
    MovingBts m_bts;
    int m_cellSerial = 1;
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

void Bench::print(const QString& work, const Figures& f)
{
    const double project = median(f.project);
    const double raw = median(f.raw);
    const QString rawText = raw < 0 ? u"-"_s : QString::number(raw, 'f', 1);
    const QString ratio = raw <= 0 ? u"-"_s : QString::number(project / raw, 'f', 2);
    std::printf("%s\t%d\t%s\t%.1f\t%s\t%s\t%d\t%.0f\n", qPrintable(work), m_scale,
                m_location.isSqlite() ? "sqlite" : "postgresql", project, qPrintable(rawText),
                qPrintable(ratio), f.statements, f.peak);
    std::fflush(stdout);
}

double Bench::replay(const QVector<Sent>& sent)
{
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!m_raw.replay(sent, &error))
        fail(u"the raw replay failed: "_s + error);
    return double(timer.nsecsElapsed()) / 1e6;
}

void Bench::roomTree()
{
    clsMain component;
    component.initEnv(m_services->objectArray());
    component.ShowMainForm();
    auto* search = component.context().form<frmQInBaseRoom>(u"frmQInBaseRoom"_s);
    auto* tree = search->findChild<QTreeWidget*>(u"tvwRoom"_s);
    search->findChild<QComboBox*>(u"cboCity"_s)->setCurrentIndex(0);
    QApplication::processEvents();
    const double emptyWindow = memoryMiB("VmRSS:");
    double filled = 0;

    Figures all;
    Figures firstLevel;
    for (int run = 0; run < m_runs; ++run) {
        search->FillRoomTree(QString());
        QApplication::processEvents();
        m_recorder->clear();
        resetPeak();
        const qint64 start = m_recorder->now();
        search->findChild<QAbstractButton*>(u"cmdOk"_s)->click();
        QApplication::processEvents();
        const qint64 end = m_recorder->now();
        all.project.push_back(msSince(start, end));
        firstLevel.project.push_back(msSince(m_recorder->sent().value(0).doneNs, end));
        all.peak = std::max(all.peak, memoryMiB("VmHWM:"));
        all.statements = m_recorder->statements();
        filled = memoryMiB("VmRSS:");
        all.raw.push_back(replay(m_recorder->sent()));
    }
    firstLevel.statements = all.statements;
    firstLevel.peak = all.peak;
    print(u"room tree 全部"_s, all);
    print(u"room tree: first level after the rows"_s, firstLevel);

    // What the tree shows: every caption, each county opened.
    qint64 captionBytes = 0;
    int rooms = 0;
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* item) {
        captionBytes += item->text(0).toUtf8().size();
        item->setExpanded(true);
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i));
        rooms += item->childCount() == 0;
    };
    if (tree->topLevelItemCount() > 0)
        walk(tree->topLevelItem(0));
    std::fprintf(
        stderr,
        "room tree: %d rooms, captions %.1f MiB of UTF-8 text; resident %.0f MiB with the empty window, "
        "%.0f MiB filled, %.0f MiB at the peak of a fill\n",
        rooms, double(captionBytes) / (1024.0 * 1024.0), emptyWindow, filled, all.peak);
    component.clearEnv();
}

void Bench::history()
{
    frmViewHistory window(m_context);
    window.show();
    QApplication::processEvents();
    frmQDispathHis* panel = window.queryPanel();
    panel->findChild<QComboBox*>(u"cbxCity"_s)->setCurrentIndex(0);
    panel->findChild<QComboBox*>(u"cbxNet"_s)->setCurrentIndex(0);
    panel->findChild<QDateEdit*>(u"dtBegin"_s)->setDate(QDate(2025, 1, 1));
    panel->findChild<QDateEdit*>(u"dtEnd"_s)->setDate(QDate(2025, 12, 31));
    auto* button = panel->findChild<QAbstractButton*>(u"cmdQuery"_s);

    Figures screen;
    Figures afterRows;
    Figures walk;
    for (int run = 0; run < m_runs; ++run) {
        panel->reset();
        panel->findChild<QDateEdit*>(u"dtBegin"_s)->setDate(QDate(2025, 1, 1));
        panel->findChild<QDateEdit*>(u"dtEnd"_s)->setDate(QDate(2025, 12, 31));
        QApplication::processEvents();
        m_recorder->clear();
        resetPeak();
        const qint64 start = m_recorder->now();
        button->click();
        QApplication::processEvents();
        const qint64 shown = m_recorder->now();
        const QVector<Sent> firstScreen = m_recorder->sent();
        screen.project.push_back(msSince(start, shown));
        afterRows.project.push_back(msSince(firstScreen.value(0).doneNs, shown));
        screen.statements = m_recorder->statements();
        screen.peak = std::max(screen.peak, memoryMiB("VmHWM:"));
        long captions = 0;
        for (const auto& item : panel->list()->Items())
            captions += item->Caption().size();
        walk.project.push_back(msSince(start, m_recorder->now()));
        walk.statements = m_recorder->statements();
        walk.peak = std::max(walk.peak, memoryMiB("VmHWM:"));
        screen.raw.push_back(replay(firstScreen));
        walk.raw.push_back(replay(m_recorder->sent()));
        if (run == 0)
            std::fprintf(stderr, "history: %ld records listed, %ld characters of captions\n",
                         panel->list()->Items().ItemCount(), captions);
    }
    afterRows.statements = screen.statements;
    afterRows.peak = screen.peak;
    print(u"history list: first screen"_s, screen);
    print(u"history list: first screen after the rows"_s, afterRows);
    print(u"history list: every caption"_s, walk);
}

std::unique_ptr<RelocationSession> Bench::sessionPastNext(PropertyItems& page, WizardPrompt& prompt)
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
        fail(u"Next was refused: "_s + static_cast<SilentPrompt&>(prompt).told);
    return session;
}

void Bench::commits(const QString& work)
{
    Figures f;
    for (int run = 0; run < m_runs; ++run) {
        QString error;
        if (!m_prep->giveCells(m_bts, CellsOfTheBts, m_cellSerial++, &error))
            fail(error);
        // What the commit sends, rehearsed and rolled back, is what the raw engine replays.
        {
            PropertyItems page;
            SilentPrompt prompt;
            auto rehearsal = sessionPastNext(page, prompt);
            m_recorder->clear();
            m_recorder->setRehearsal(true);
            const bool done = rehearsal->commit();
            m_recorder->setRehearsal(false);
            if (!done)
                fail(u"the rehearsed commit failed: "_s + prompt.told);
            f.raw.push_back(replay(m_recorder->sent()));
        }
        PropertyItems page;
        SilentPrompt prompt;
        auto session = sessionPastNext(page, prompt);
        m_recorder->clear();
        resetPeak();
        const qint64 start = m_recorder->now();
        if (!session->commit())
            fail(u"the commit failed: "_s + prompt.told);
        f.project.push_back(msSince(start, m_recorder->now()));
        f.statements = m_recorder->statements();
        f.peak = std::max(f.peak, memoryMiB("VmHWM:"));
        std::swap(m_bts.rooms[0], m_bts.rooms[1]);
    }
    print(work, f);
}

void Bench::wizard()
{
    Figures f;
    QString error;
    if (!m_prep->giveCells(m_bts, CellsOfTheBts, m_cellSerial++, &error))
        fail(error);
    for (int run = 0; run < m_runs; ++run) {
        QMap<QString, AttrTable> attrMap;
        ResourceView::GetResourceData(m_context, u"v_res_gbts"_s, m_bts.code, &attrMap[u"G"_s]);
        PropertyItems page;
        SilentPrompt prompt;
        RelocationSession session(m_context, page, prompt);
        m_recorder->clear();
        resetPeak();
        const qint64 start = m_recorder->now();
        if (!session.start(u"G"_s, attrMap, true))
            fail(u"the wizard cannot be opened"_s);
        f.project.push_back(msSince(start, m_recorder->now()));
        f.statements = m_recorder->statements();
        f.peak = std::max(f.peak, memoryMiB("VmHWM:"));
        f.raw.push_back(replay(m_recorder->sent()));
    }
    print(u"wizard: BTS of %1 cells, city of %2 rooms"_s.arg(CellsOfTheBts).arg(m_prep->cityRooms(m_bts)), f);
}

void Bench::run()
{
    QString error;
    if (!m_data.open(m_location, &error))
        fail(error);
    m_prep = std::make_unique<ScaleData>(m_data.database());
    if (!m_prep->prepare(m_scale, &error) || !m_prep->fillHistory(m_scale, &error) ||
        !m_prep->chooseBts(&m_bts, &error))
        fail(error);
    m_services = std::make_unique<host::HostServices>(&m_data);
    m_services->configure(u"admin"_s, QString());
    m_recorder = std::make_unique<BenchRecorder>(&m_data, m_services->resourceView());
    m_services->replaceDataObject(m_recorder.get());
    QVector<QObject*> services = m_services->objectArray();
    services[HostSlot::ResourceView] = m_recorder.get();
    if (m_context.setServices(services) != mdlPubVar::Services::Stored)
        fail(u"the services were refused"_s);
    if (!m_raw.open(m_location, &error))
        fail(error);

    std::printf("work\trooms\tengine\tproject ms\traw ms\tratio\tstatements\tpeak MiB\n");
    if (wanted(u"tree"_s))
        roomTree();
    if (wanted(u"history"_s))
        history();
    if (wanted(u"commit"_s)) {
        if (!m_prep->setHistoryAside(&error))
            fail(error);
        commits(u"commit: BTS of %1 cells, no history"_s.arg(CellsOfTheBts));
        if (!m_prep->restoreHistory(&error))
            fail(error);
        commits(u"commit: BTS of %1 cells, history of %2"_s.arg(CellsOfTheBts)
                    .arg(m_prep->count(u"h_btsdispatch"_s)));
    }
    if (wanted(u"wizard"_s))
        wizard();
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
        {u"runs"_s, u"Runs of each piece of work; medians are printed (default 5)."_s, u"R"_s, u"5"_s});
    parser.addOption({u"only"_s,
                      u"Only these pieces of work: tree, history, commit, wizard (comma-separated)."_s,
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
