// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>
#include <memory>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

namespace corvan {

class HistoryRows;
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
    // Reads the records the list has not read yet, which it lists as the user scrolls to them;
    // false when they could not be read.
    bool readEveryRecord();
    // The codes of the records the list holds now (the filter applied), top to bottom.
    QStringList shownCodes() const;
    // The line that counts the records found and shown.
    QString countText() const;
    // Narrows the listed records to those whose caption holds the text.
    void setFilterText(const QString& text);

signals:
    // A listed record was chosen (its discode), or the view is to be cleared (empty).
    void recordChosen(const QString& code);
    // A query listed its records; statement is what it sent.
    void queried(const QString& statement);

private:
    void buildControls();
    void layOut();
    void itemChosen(PropertyItem* item);
    // The filter, and the count.
    void applyFilter();
    void restoreCriteria();
    void saveCriteria() const;

    mdlPubVar& m_context;
    QComboBox* m_cbxCity;
    QComboBox* m_cbxNet;
    QDateEdit* m_dtBegin;
    QDateEdit* m_dtEnd;
    QPushButton* m_cmdQuery;
    QPushButton* m_cmdReset;
    PropertyGrid* m_smHisList;
    QLineEdit* m_txtFilter;
    QLabel* m_lblCount;
    bool m_queried = false;
    // The records listed, which the captions are made from.
    std::shared_ptr<HistoryRows> m_rows;
};

} // namespace corvan
