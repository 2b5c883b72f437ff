// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <vector>

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include "core/context/wizard_prompt.h"
#include "core/relocation/relocation_commit.h"
#include "core/room_move/room_picker.h"
#include "corvan/attr_table.h"

namespace corvan {

class PropertyItem;
class PropertyItems;
class RelocationSession;
class mdlPubVar;

// Moving a whole machine room: every chosen BTS of the room, of networks G, C and D, to
// one target room in one commit. Each BTS is a single relocation of its own (its page, its
// checks, its summary, its statements in their order, its record and journal entry); what
// they share — city, county, room, longitude and latitude — is asked once, on a grid of its
// own, and copied into each BTS's page before its checks run.
class RoomMove : public QObject {
    Q_OBJECT

public:
    // The shared values' grid and one page per network of the room, each shown by a window.
    RoomMove(mdlPubVar& context, PropertyItems& shared, const QMap<QString, PropertyItems*>& pages,
             WizardPrompt& prompt, QObject* parent = nullptr);
    ~RoomMove() override;

    // Builds every BTS's page from the tables of the BTSs standing in the room (network
    // letter to table) and the shared grid; false when no page could be built.
    bool start(const QMap<QString, AttrTable>& tables);
    // The networks whose BTS could be relocated, in the order G, C, D.
    QStringList networks() const;
    // How a BTS is named to the user: "G网基站 甲一G基站".
    QString label(const QString& net) const;
    bool isChosen(const QString& net) const;
    void setChosen(const QString& net, bool chosen);

    // The shared grid's events: a new city brings its rooms and counties, a room its county.
    void sharedValueChanged(PropertyItem* item);
    // The target rooms of the shared room row, each refused that holds a BTS of any chosen
    // network (or is the room they stand in); nothing listed when no BTS is chosen.
    RoomPicker picker() const;
    // The room the picker gave (its option's caption) onto the shared room row. An empty
    // city row first takes the city whose rooms the picker listed, so that the BTSs are
    // never moved into a room without their city.
    void chooseRoom(const QString& caption);
    // Leaving the first page: the shared values go into every chosen BTS's page, whose shared
    // rows are hidden, so that only what each BTS still needs is left open. False when no BTS
    // is chosen, or the target room cannot take one of them (told here, not after the
    // second page).
    bool share();
    // Next on the per-BTS page: every chosen BTS's checks; every failure, each with its BTS,
    // told in one message. True when all pass; the summary is then made.
    bool check();
    // One titled section per BTS, in the single summary's format.
    const SummaryRows& summary() const { return m_summary; }

    // Everything in one transaction, network by network (G, C, D), each BTS's statements in
    // their order with its own record and journal entry; any failure undoes all and says
    // which BTS and which step. A host without transactions is refused.
    bool commit();

    RelocationSession& session(const QString& net) const;

    static const QString SharedFields[5];
    static const QString SuccessMessage;
    static const QString NothingChosen;
    static const QString RoomKept;
    static const QString NoTransactions;
    // The target room and why it cannot take a chosen BTS, as the picker says it.
    static const QString TargetRefused;

signals:
    // The room's BTSs were moved; the records written, in network order.
    void moved(const QStringList& recordCodes);

private:
    struct Bts;
    Bts* find(const QString& net) const;

    // One try at writing every chosen BTS: what came of it, the records written, the notices
    // to pass on, and which BTS failed.
    struct Attempt {
        CommitOutcome outcome;
        QStringList codes;
        QStringList notices;
        QString who;
    };
    // Begin, every chosen BTS's checks and steps, then commit or roll back.
    Attempt attempt() const;
    Attempt writeAll() const;
    // Tells the user how the move ended; true when it was written.
    bool report(const Attempt& attempt);

    mdlPubVar& m_context;
    PropertyItems& m_shared;
    WizardPrompt& m_prompt;
    std::vector<std::unique_ptr<Bts>> m_btss;
    SummaryRows m_summary;
};

} // namespace corvan
