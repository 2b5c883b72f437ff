// SPDX-License-Identifier: MIT
#include "core/relocation/relocation_session.h"

#include "core/context/busy_scope.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/wizard_prompt.h"
#include "core/journal/journal.h"
#include "core/relocation/bts_page.h"
#include "core/relocation/bts_save.h"
#include "core/relocation/cell_loader.h"
#include "core/relocation/change_summary.h"
#include "core/relocation/grid_handlers.h"
#include "core/relocation/relocation_commit.h"

namespace corvan {

RelocationSession::RelocationSession(mdlPubVar& context, PropertyItems& page, WizardPrompt& prompt,
                                     QObject* parent)
    : QObject(parent), m_context(context), m_page(page), m_prompt(prompt)
{}

RelocationSession::~RelocationSession() = default;

PropertyItems& RelocationSession::cellGridAt(int index)
{
    // One grid per cell, however many cells the BTS has.
    while (int(m_cells.size()) <= index)
        m_cells.push_back(std::make_unique<PropertyItems>());
    return *m_cells.at(size_t(index));
}

QList<PropertyItems*> RelocationSession::cellGrids()
{
    QList<PropertyItems*> grids;
    for (const auto& grid : m_cells)
        grids.append(grid.get());
    return grids;
}

bool RelocationSession::start(const QString& net, const QMap<QString, AttrTable>& attrMap, bool simpleMode)
{
    // The arguments are kept before anything else happens.
    m_state.net = net;
    m_state.attrMap = attrMap;
    m_state.simpleMode = simpleMode;
    if (net.isEmpty()) {
        // The page stays as it was, but nothing of it may be written any more.
        m_state.pageBuilt = false;
        return false;
    }
    BusyScope busy(m_context);
    m_state.clearLoaded();
    m_page.ClearItems();
    m_line.ClearItems();
    m_cells.clear();
    m_summary.clear();
    m_caption.clear();
    m_refusedField.clear();
    QString btsNumber;
    if (!BtsPage::build(m_context, m_state, m_page, &m_caption, &btsNumber, m_lists))
        return false;
    m_state.pageBuilt = true;
    // Whether this relocation can be journaled is known before anything is written.
    Journal::available(m_context);
    if (m_state.simpleMode)
        static_cast<LoadedCells&>(m_state) = CellLoader::viewCell(
            m_context, m_state.net, m_state.cityCode, btsNumber,
            [this](int index) -> PropertyItems& { return cellGridAt(index); }, m_line);
    return true;
}

void RelocationSession::valueChanged(PropertyItem* item)
{
    GridHandlers::cityCascade(m_context, m_page, item, &m_state.cityRooms, m_state.net, m_lists);
    GridHandlers::roomCascade(m_context, m_page, item);
}

void RelocationSession::edited()
{
    static_cast<ChosenCity&>(m_state) = GridHandlers::chosenCity(m_state, m_page, cellGrids());
}

bool RelocationSession::popupChosen(const PropertyItem* item)
{
    return GridHandlers::popupChosen(m_context, m_state, item);
}

bool RelocationSession::next()
{
    if (!m_state.pageBuilt)
        return false;
    // The record needs the city and base number the page shows, whenever the grid last
    // told of an edit.
    edited();
    const Verdict verdict = BtsSave::saveBtsData(m_context, m_state, m_page);
    m_refusedField = verdict.field;
    if (!verdict.ok) {
        if (!verdict.message.isEmpty())
            m_prompt.showMessage(verdict.message);
        return false;
    }
    m_summary = ChangeSummary::rows(m_context, m_state);
    return true;
}

bool RelocationSession::commit()
{
    // Nothing was loaded for a BTS: there is nothing to write and no record to keep.
    if (!m_state.pageBuilt || !m_context.DataService())
        return false;
    CommitOutcome outcome;
    for (;;) {
        {
            // The busy indication covers the work, waiting for another user's lock
            // included, and is gone before the user is told anything.
            BusyScope busy(m_context);
            outcome = RelocationCommit::run(m_context, m_state, m_summary);
        }
        if (outcome.result != CommitOutcome::Result::Busy ||
            !m_prompt.askRetry(RelocationCommit::BusyMessage, outcome.details))
            break;
    }
    switch (outcome.result) {
    case CommitOutcome::Result::Done:
        m_prompt.showMessage(RelocationCommit::SuccessMessage, WizardPrompt::Icon::Information);
        if (!outcome.notice.isEmpty())
            m_prompt.showMessage(outcome.notice);
        emit relocated(m_state.net, m_state.btsCode, outcome.recordCode);
        return true;
    case CommitOutcome::Result::RecordFailed:
        m_prompt.showMessage(RelocationCommit::RecordFailedMessage);
        return false;
    case CommitOutcome::Result::Busy:
        return false;
    case CommitOutcome::Result::Refused:
    case CommitOutcome::Result::Failed:
    case CommitOutcome::Result::ConnectionLost:
        if (!outcome.message.isEmpty())
            m_prompt.showMessage(outcome.message);
        return false;
    }
    return false;
}

} // namespace corvan
