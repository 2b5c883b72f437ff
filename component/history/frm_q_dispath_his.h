// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class QComboBox;
class QDateEdit;
class QPushButton;

namespace corvan {

class PropertyGrid;
class PropertyItem;
class mdlPubVar;

// The history window's query panel: relocation records by city of origin, network and
// date range, listed one per row. Choosing a row hands its record code to the window;
// the panel never writes to the database.
class frmQDispathHis : public QWidget {
    Q_OBJECT

public:
    explicit frmQDispathHis(mdlPubVar& context, QWidget* parent = nullptr);

    // Back to every city, every network, from the first of this month to today, and no
    // records listed.
    void fillCriteria();
    // The statement the query button would send now.
    QString queryStatement() const;
    // The query button: lists the records that meet the criteria.
    void query();
    // The reset button: default criteria, and the record view cleared.
    void reset();

    PropertyGrid* list() const { return m_smHisList; }

signals:
    // A listed record was chosen (its discode), or the view is to be cleared (empty).
    void recordChosen(const QString& code);

private:
    void itemChosen(PropertyItem* item);

    mdlPubVar& m_context;
    QComboBox* m_cbxCity;
    QComboBox* m_cbxNet;
    QDateEdit* m_dtBegin;
    QDateEdit* m_dtEnd;
    QPushButton* m_cmdQuery;
    QPushButton* m_cmdReset;
    PropertyGrid* m_smHisList;
};

} // namespace corvan
