// SPDX-License-Identifier: MIT
// A second user, as a process of its own: relocates one BTS through the relocation
// session the wizard drives, and commits when told to, so tests can run two relocations
// at the same moment.
//
// corvan-commit-probe DATABASE CITY_ID ROOM NET TARGET_ROOM GO_FILE
// Prints "NEXT-REFUSED <message>", "COMMITTED" or "REFUSED <message>".

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cstdio>

#include "core/mdl_pub_fun.h"
#include "core/mdl_pub_var.h"
#include "core/relocation_session.h"
#include "core/resource_view.h"
#include "core/sql_literal.h"
#include "core/wizard_prompt.h"
#include "corvan/controls/property_item.h"
#include "data/sql_data_service.h"
#include "desktop/host_services.h"

using namespace corvan;

namespace {

// What the user would have been told, the last message kept.
class LastMessage : public WizardPrompt {
public:
    void showMessage(const QString& text, Icon) override { told = text; }
    bool askRetry(const QString& text, const QString&) override
    {
        told = text;
        return false;
    }
    QString told;
};

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    if (argc != 7) {
        std::fprintf(stderr, "usage: corvan-commit-probe DATABASE CITY_ID ROOM NET TARGET_ROOM GO_FILE\n");
        return 2;
    }
    const QStringList args = app.arguments();
    host::SqlDataService data;
    QString error;
    if (!data.open(args.at(1), &error)) {
        std::printf("ERROR %s\n", qPrintable(error));
        return 1;
    }
    host::HostServices services(&data);
    services.configure(QStringLiteral("demo"), QStringLiteral("4"));
    mdlPubVar context;
    if (context.setServices(services.objectArray()) != mdlPubVar::Services::Stored) {
        std::printf("ERROR services\n");
        return 1;
    }
    // The BTS of that network in the room, as the main window would show it.
    const QString net = args.at(4);
    const QString roomCode = mdlPubFun::GetRoomCodeByName(context, args.at(2), args.at(3));
    const auto code = context.db().firstText(QStringLiteral("select basecode from v_res_bts where roomcode='") +
                                             sqlText(roomCode) + QStringLiteral("' and net='") + sqlText(net) +
                                             QLatin1Char('\''));
    QMap<QString, AttrTable> attrMap;
    if (!code || !ResourceView::GetResourceData(context, QStringLiteral("v_res_") + networkName(net) +
                                                              QStringLiteral("bts"),
                                                *code, &attrMap[net])) {
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
        QFile ready(args.at(6) + QStringLiteral(".ready.") + QString::number(QCoreApplication::applicationPid()));
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
