// SPDX-License-Identifier: MIT
// A primary and its streaming standby, reached through one address that names the standby
// first and wants a server that takes writes. A relocation commits on the primary; the
// primary is lost and the standby promoted while the next relocation is being committed,
// which commits on the new primary once the host has connected to it. The time from the
// primary's loss to that commit is printed: the failover's figure.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <iostream>
#include <memory>

#include "bench/load_checks.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/resource_view.h"
#include "core/relocation/connection_loss.h"
#include "core/relocation/relocation_commit.h"
#include "core/relocation/relocation_session.h"
#include "corvan/controls/property_item.h"
#include "support/fixture.h"
#include "support/pg_servers.h"
#include "support/prompt_recorder.h"
#include "support/test_database.h"
#include "support/test_host.h"
#include "support/wizard_fixture.h"

using namespace corvan;
using namespace Qt::StringLiterals;
using corvan::test::Fixture;

namespace {

// A relocation of G BTS 101 to a room of 甲市, made ready the way the wizard makes it: the
// page built and Next passed; Commit is the test's to press.
struct Relocation {
    Relocation(mdlPubVar& context, const QString& room) : session(context, page, prompt)
    {
        QMap<QString, AttrTable> shown;
        EXPECT_TRUE(
            ResourceView::GetResourceData(context, u"v_res_gbts"_s, Fixture::btsCode(101), &shown[u"G"_s]));
        EXPECT_TRUE(session.start(u"G"_s, shown, true));
        page.GetItem(u"city"_s)->setValue(u"甲市"_s);
        page.GetItem(u"belongroom"_s)->setValue(room);
        session.valueChanged(page.GetItem(u"belongroom"_s));
        session.edited();
        EXPECT_TRUE(session.next());
        QObject::connect(&session, &RelocationSession::relocated,
                         [this](const QString&, const QString&, const QString& code) { record = code; });
    }
    PropertyItems page;
    corvan::test::PromptRecorder prompt;
    RelocationSession session;
    QString record;
};

} // namespace

TEST(Failover, TheNextRelocationAfterThePrimaryIsLostCommitsOnThePromotedStandby)
{
    if (corvan::test::TestDatabase::engineFromEnvironment() != u"postgresql"_s)
        GTEST_SKIP() << "needs a PostgreSQL primary and its standby";
    corvan::test::ServerPair pair;
    const QString primary = u"127.0.0.1:%1"_s.arg(pair.primaryPort());
    const QString standby = u"127.0.0.1:%1"_s.arg(pair.standbyPort());
    corvan::test::TestDatabase db(corvan::test::TestDatabase::Contents::Schema, pair.failoverUrl());
    corvan::test::WizardFixture::load(db);
    corvan::test::TestHost host{db};
    mdlPubVar context;
    ASSERT_EQ(context.setServices(host.objectArray()), mdlPubVar::Services::Stored);
    host::SqlDataService* service = db.service();
    QTemporaryDir folder;
    ASSERT_TRUE(service->setTraceFile(folder.filePath(u"trace"_s)));
    // The standby is listed first, but it takes no writes: the primary is the one reached.
    EXPECT_EQ(service->ServerName(), primary);

    Relocation first(context, u"三号机房"_s);
    ASSERT_TRUE(first.session.commit()) << first.prompt.shown.join(u'/').toStdString();
    // Replication is asynchronous: the primary is lost once the standby has what it committed.
    ASSERT_TRUE(pair.waitForStandby());
    Relocation second(context, u"二号机房"_s);

    QStringList states;
    QObject::connect(service, &host::SqlDataService::connectionChanged, [&] {
        states << QString::number(int(service->ConnectionState())) + u' ' + service->ServerName();
    });
    ASSERT_TRUE(pair.haltPrimary());
    QElapsedTimer sinceLoss;
    sinceLoss.start();
    // The failover manager promotes the standby while the user commits.
    QProcess promotion;
    const QStringList promote = pair.promoteCommand();
    promotion.start(promote.first(), promote.mid(1));
    bool committed = second.session.commit();
    // Promoted later than the host's tries last: the user is told to try again, and does.
    const bool retried = !committed;
    if (retried) {
        EXPECT_EQ(second.prompt.shown.value(0).section(u"\r\n"_s, 0, 0),
                  ConnectionLoss::message(ConnectionLoss::Work::Relocation));
        promotion.waitForFinished(60000);
        second.prompt.shown.clear();
        committed = second.session.commit();
    }
    const qint64 failover = sinceLoss.elapsed();
    promotion.waitForFinished(60000);
    ASSERT_TRUE(committed) << second.prompt.shown.join(u'/').toStdString();
    EXPECT_EQ(second.prompt.shown, QStringList{RelocationCommit::SuccessMessage});
    EXPECT_EQ(service->ServerName(), standby);
    EXPECT_EQ(service->ConnectionState(), ConnectionService::State::Connected);
    EXPECT_EQ(states.value(0), u"1 "_s + standby + u',' + primary);
    EXPECT_EQ(states.constLast(), u"0 "_s + standby);

    // Both relocations are on the new primary, and the load checks find nothing wrong.
    const QStringList trace = QString::fromUtf8([&] {
                                  QFile file(folder.filePath(u"trace"_s));
                                  file.open(QIODevice::ReadOnly);
                                  return file.readAll();
                              }())
                                  .split(u'\n', Qt::SkipEmptyParts);
    EXPECT_FALSE(trace.filter(u"CONNECT\tok\t-\t"_s + standby).isEmpty());
    EXPECT_EQ(corvan::test::PgServers::value(pair.standbyPort(), u"select pg_is_in_recovery()"_s), u"f"_s);
    EXPECT_EQ(db.rows(u"select discode, toroom from h_btsdispatch order by discode"_s),
              (QStringList{first.record + u'|' + Fixture::roomCode(4),
                           second.record + u'|' + Fixture::roomCode(2)}));
    const QStringList violations =
        bench::LoadChecks(db.database())
            .run({{u"G"_s, Fixture::btsCode(101), Fixture::roomCode(4), first.record},
                  {u"G"_s, Fixture::btsCode(101), Fixture::roomCode(2), second.record}},
                 {});
    EXPECT_TRUE(violations.isEmpty()) << violations.join(u'\n').toStdString();

    // The figure, and what the trace shows of the failover.
    std::cout << "failover: primary lost -> first commit on the promoted standby: " << failover << " ms"
              << (retried ? " (the user committed a second time)" : "") << "\n";
    const qsizetype from = trace.indexOf(trace.filter(u"BEGIN\tfail"_s).value(0));
    for (const QString& line : trace.mid(from))
        std::cout << "  " << line.toStdString() << "\n";
}
