// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <vector>

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include "core/context/option_lists.h"
#include "core/relocation/move_bts_state.h"
#include "core/relocation/summary_row.h"
#include "corvan/attr_table.h"
#include "corvan/controls/property_items.h"

namespace corvan {

class PropertyItem;
class WizardPrompt;
class mdlPubVar;

// One relocation of one BTS, from the BTS page to the commit, without any widget. It
// owns the wizard's state, builds the BTS page into the item model it is given (the
// window shows that model in its grid), loads the cells, antennas and feeders the commit
// will delete, collects and checks the page on Next and makes the change summary as rows
// of four texts, and commits: one transaction, the re-checks, the four steps in their
// order and the record. It tells the user through the prompt, never through a window of
// its own, and announces a finished relocation with relocated().
class RelocationSession : public QObject {
    Q_OBJECT

public:
    RelocationSession(mdlPubVar& context, PropertyItems& page, WizardPrompt& prompt,
                      QObject* parent = nullptr);
    ~RelocationSession() override;

    // The wizard's entry (showBts): starts over for the BTS of network net from the tables
    // on show, so nothing of an earlier BTS can reach a commit. False when the page could
    // not be built; nothing can then be checked or written.
    bool start(const QString& net, const QMap<QString, AttrTable>& attrMap, bool simpleMode);
    // Where the pages it builds take their lists from; the wizard's own by default.
    void setLists(const PageLists& lists) { m_lists = lists; }
    // Whether a BTS page stands, so that Next may check it.
    bool ready() const { return m_state.pageBuilt; }
    // City name + BTS name + "基站调整", once the page is built.
    const QString& caption() const { return m_caption; }
    const MoveBtsState& state() const { return m_state; }

    // The BTS page's events.
    void valueChanged(PropertyItem* item);
    void edited();
    bool popupChosen(const PropertyItem* item);

    // Next: collects and checks the page, and on success makes the summary. The user is
    // told why not, and refusedField() names the field the refusal is about.
    bool next();
    const QString& refusedField() const { return m_refusedField; }
    // The summary of the last successful Next: rows of four texts, the title first.
    const SummaryRows& summary() const { return m_summary; }

    // Commit: writes everything in one transaction, or nothing. Waiting for another user's
    // lock shows the host's busy indication and may be tried again; the user is told the
    // result once the work is over. True when the relocation is written.
    bool commit();

signals:
    // A relocation was written: the BTS of that network now stands elsewhere.
    void relocated(const QString& net, const QString& btsCode, const QString& recordCode);

private:
    PropertyItems& cellGridAt(int index);
    QList<PropertyItems*> cellGrids();

    mdlPubVar& m_context;
    PropertyItems& m_page;
    WizardPrompt& m_prompt;
    MoveBtsState m_state;
    // The hidden page's grids: one per cell, and the antennas and feeders.
    std::vector<std::unique_ptr<PropertyItems>> m_cells;
    PropertyItems m_line;
    SummaryRows m_summary;
    PageLists m_lists;
    QString m_caption;
    QString m_refusedField;
};

} // namespace corvan
