// SPDX-License-Identifier: MIT
#include "corvan/controls/sheet.h"

#include "corvan/controls/focus_frame.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

namespace corvan {

namespace {

// A cell's number beside its text; the text it was shown as tells whether it still holds.
constexpr int NumberRole = Qt::UserRole + 1;

QString numberText(double value)
{
    return QString::number(value, 'g', 15);
}

constexpr auto DefaultAlignment = Qt::AlignLeft | Qt::AlignVCenter;
constexpr auto EditTriggers =
    QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed;

// A block given in 1-based corners, cut to the counts, as 0-based cells; empty when nothing remains.
QRect block(int row1, int col1, int row2, int col2, int rows, int cols)
{
    const int top = std::max(row1, 1) - 1;
    const int left = std::max(col1, 1) - 1;
    const int bottom = std::min(row2, rows) - 1;
    const int right = std::min(col2, cols) - 1;
    if (top > bottom || left > right)
        return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

Sheet::Sheet(QWidget* parent) : QWidget(parent), m_table(new QTableWidget(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_table->setObjectName(QStringLiteral("cells"));
    m_table->setEditTriggers(EditTriggers);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setItemDelegate(new FocusFrameDelegate(m_table));
    m_table->installEventFilter(this);
    layout->addWidget(m_table);
    setFocusProxy(m_table);

    connect(m_table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!m_updating)
            emit CellChanged(item->row() + 1, item->column() + 1);
    });
}

// Shape

int Sheet::MaxRow() const
{
    return m_table->rowCount();
}

void Sheet::setMaxRow(int rows)
{
    const int old = m_table->rowCount();
    rows = std::max(rows, 0);
    if (rows == old)
        return;
    QScopedValueRollback guard(m_updating, true);
    m_table->setRowCount(rows);
    if (rows < old)
        fitSpans();
}

int Sheet::MaxCol() const
{
    return m_table->columnCount();
}

void Sheet::setMaxCol(int cols)
{
    const int old = m_table->columnCount();
    cols = std::max(cols, 0);
    if (cols == old)
        return;
    QScopedValueRollback guard(m_updating, true);
    m_table->setColumnCount(cols);
    if (cols < old)
        fitSpans();
}

bool Sheet::contains(int row, int col) const
{
    return row >= 1 && col >= 1 && row <= m_table->rowCount() && col <= m_table->columnCount();
}

QTableWidgetItem* Sheet::cell(int row, int col) const
{
    return contains(row, col) ? m_table->item(row - 1, col - 1) : nullptr;
}

QTableWidgetItem* Sheet::makeCell(int row, int col)
{
    QTableWidgetItem* item = cell(row, col);
    if (!item) {
        item = new QTableWidgetItem;
        m_table->setItem(row - 1, col - 1, item);
    }
    return item;
}

// Text

QString Sheet::TextRC(int row, int col) const
{
    const QTableWidgetItem* item = cell(row, col);
    return item ? item->text() : QString();
}

void Sheet::setTextRC(int row, int col, const QString& text)
{
    if (!contains(row, col) || (text.isEmpty() && !cell(row, col)))
        return;
    QScopedValueRollback guard(m_updating, true);
    QTableWidgetItem* item = makeCell(row, col);
    item->setData(NumberRole, QVariant());
    item->setText(text);
}

void Sheet::setNumberRC(int row, int col, double value)
{
    if (!contains(row, col))
        return;
    QScopedValueRollback guard(m_updating, true);
    QTableWidgetItem* item = makeCell(row, col);
    item->setText(numberText(value));
    item->setData(NumberRole, value);
}

bool Sheet::CellNumber(int row, int col, double* value) const
{
    const QTableWidgetItem* item = cell(row, col);
    if (!item)
        return false;
    const QVariant number = item->data(NumberRole);
    if (!number.isValid() || item->text() != numberText(number.toDouble()))
        return false;
    if (value)
        *value = number.toDouble();
    return true;
}

// Columns and rows

int Sheet::ColWidth(int col) const
{
    return col >= 1 && col <= m_table->columnCount() ? m_table->columnWidth(col - 1) : 0;
}

void Sheet::setColWidth(int col, int width)
{
    if (col >= 1 && col <= m_table->columnCount())
        m_table->setColumnWidth(col - 1, std::max(width, 0));
}

int Sheet::DefaultColWidth() const
{
    return m_table->horizontalHeader()->defaultSectionSize();
}

bool Sheet::RowHidden(int row) const
{
    return row >= 1 && row <= m_table->rowCount() && m_table->isRowHidden(row - 1);
}

void Sheet::setRowHidden(int row, bool hidden)
{
    if (row >= 1 && row <= m_table->rowCount())
        m_table->setRowHidden(row - 1, hidden);
}

QString Sheet::ColText(int col) const
{
    if (col < 1 || col > m_table->columnCount())
        return {};
    const QTableWidgetItem* heading = m_table->horizontalHeaderItem(col - 1);
    return heading ? heading->text() : QString();
}

void Sheet::setColText(int col, const QString& heading)
{
    if (col < 1 || col > m_table->columnCount())
        return;
    if (QTableWidgetItem* item = m_table->horizontalHeaderItem(col - 1))
        item->setText(heading);
    else
        m_table->setHorizontalHeaderItem(col - 1, new QTableWidgetItem(heading));
}

// Merged blocks

void Sheet::setSpan(int row1, int col1, int row2, int col2)
{
    const QRect span = block(row1, col1, row2, col2, m_table->rowCount(), m_table->columnCount());
    if (span.isEmpty())
        return;
    dropSpansTouching(span);
    if (span.width() == 1 && span.height() == 1)
        return;
    m_table->setSpan(span.top(), span.left(), span.height(), span.width());
    m_spans.push_back(span);
}

void Sheet::clearSpans()
{
    m_table->clearSpans();
    m_spans.clear();
}

void Sheet::dropSpansTouching(const QRect& area)
{
    const auto touching = [&area](const QRect& span) {
        return span.intersects(area);
    };
    for (const QRect& span : m_spans) {
        if (touching(span))
            m_table->setSpan(span.top(), span.left(), 1, 1);
    }
    m_spans.erase(std::remove_if(m_spans.begin(), m_spans.end(), touching), m_spans.end());
}

void Sheet::fitSpans()
{
    // The view shrinks cut blocks on its own terms; set every block again so what it
    // shows and what we know are the same.
    const QRect all(0, 0, m_table->columnCount(), m_table->rowCount());
    std::vector<QRect> kept;
    for (const QRect& span : m_spans) {
        const QRect cut = span & all;
        if (cut.width() * cut.height() > 1)
            kept.push_back(cut);
    }
    m_table->clearSpans();
    m_spans = std::move(kept);
    for (const QRect& span : m_spans)
        m_table->setSpan(span.top(), span.left(), span.height(), span.width());
}

// Formats

QColor Sheet::CellBackground(int row, int col) const
{
    const QTableWidgetItem* item = cell(row, col);
    if (!item || !item->data(Qt::BackgroundRole).isValid())
        return {};
    return item->background().color();
}

QColor Sheet::CellForeground(int row, int col) const
{
    const QTableWidgetItem* item = cell(row, col);
    if (!item || !item->data(Qt::ForegroundRole).isValid())
        return {};
    return item->foreground().color();
}

void Sheet::setCellForeground(int row, int col, const QColor& color)
{
    if (!contains(row, col) || (!color.isValid() && !cell(row, col)))
        return;
    QScopedValueRollback guard(m_updating, true);
    QTableWidgetItem* item = makeCell(row, col);
    if (color.isValid())
        item->setForeground(color);
    else
        item->setData(Qt::ForegroundRole, QVariant());
}

void Sheet::setCellBackground(int row, int col, const QColor& color)
{
    if (!contains(row, col) || (!color.isValid() && !cell(row, col)))
        return;
    QScopedValueRollback guard(m_updating, true);
    QTableWidgetItem* item = makeCell(row, col);
    if (color.isValid())
        item->setBackground(color);
    else
        item->setData(Qt::BackgroundRole, QVariant());
}

int Sheet::CellFontSize(int row, int col) const
{
    const QTableWidgetItem* item = cell(row, col);
    if (!item || !item->data(Qt::FontRole).isValid())
        return m_table->font().pointSize();
    return item->font().pointSize();
}

void Sheet::setCellFontSize(int row, int col, int points)
{
    if (!contains(row, col) || (points <= 0 && !cell(row, col)))
        return;
    QScopedValueRollback guard(m_updating, true);
    QTableWidgetItem* item = makeCell(row, col);
    if (points <= 0) {
        item->setData(Qt::FontRole, QVariant());
        return;
    }
    // Only the size is the cell's own; family and style follow the sheet.
    QFont font;
    font.setPointSize(points);
    item->setFont(font);
}

void Sheet::setCellAlignment(int row, int col, Qt::Alignment alignment)
{
    if (!contains(row, col))
        return;
    QScopedValueRollback guard(m_updating, true);
    makeCell(row, col)->setData(Qt::TextAlignmentRole, int(alignment.toInt()));
}

Qt::Alignment Sheet::CellAlignment(int row, int col) const
{
    const QTableWidgetItem* item = cell(row, col);
    const QVariant value = item ? item->data(Qt::TextAlignmentRole) : QVariant();
    if (!value.isValid())
        return DefaultAlignment;
    return Qt::Alignment::fromInt(Qt::Alignment::Int(value.toInt()));
}

void Sheet::clearRange(int row1, int col1, int row2, int col2)
{
    const QRect area = block(row1, col1, row2, col2, m_table->rowCount(), m_table->columnCount());
    if (area.isEmpty())
        return;
    dropSpansTouching(area);
    // The table tells its view of every cell taken, one by one, and the view works out what to
    // repaint each time: for a sheet cleared to be filled again that was half the time of
    // showing a room's BTSs. The view hears of the area once.
    QAbstractItemModel* model = m_table->model();
    {
        const QSignalBlocker quiet(model);
        for (int row = area.top(); row <= area.bottom(); ++row) {
            for (int col = area.left(); col <= area.right(); ++col)
                delete m_table->takeItem(row, col);
        }
    }
    emit model->dataChanged(model->index(area.top(), area.left()), model->index(area.bottom(), area.right()));
}

// Editing and copying

bool Sheet::isReadOnly() const
{
    return m_table->editTriggers() == QAbstractItemView::NoEditTriggers;
}

void Sheet::setReadOnly(bool readOnly)
{
    // An edit in progress must not land after the sheet became a view; closing the editor
    // without committing is a protected slot of the view.
    QWidget* editor = readOnly ? m_table->indexWidget(m_table->currentIndex()) : nullptr;
    if (editor)
        QMetaObject::invokeMethod(m_table, "closeEditor", Q_ARG(QWidget*, editor),
                                  Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
    m_table->setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers : EditTriggers);
    // Tab moves between cells only where there is something to type; a sheet to read hands
    // the focus on to the window's next control.
    m_table->setTabKeyNavigation(!readOnly);
}

QString Sheet::selectionText() const
{
    const QItemSelectionModel* selection = m_table->selectionModel();
    const QItemSelection ranges = selection->selection();
    if (ranges.isEmpty())
        return {};
    int top = INT_MAX, left = INT_MAX, bottom = -1, right = -1;
    for (const QItemSelectionRange& range : ranges) {
        top = std::min(top, range.top());
        left = std::min(left, range.left());
        bottom = std::max(bottom, range.bottom());
        right = std::max(right, range.right());
    }
    QStringList lines;
    for (int row = top; row <= bottom; ++row) {
        if (m_table->isRowHidden(row))
            continue;
        QStringList cells;
        for (int col = left; col <= right; ++col) {
            if (m_table->isColumnHidden(col))
                continue;
            const QTableWidgetItem* item = m_table->item(row, col);
            const bool chosen = selection->isSelected(m_table->model()->index(row, col));
            cells << (item && chosen ? item->text() : QString());
        }
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n'));
}

void Sheet::copySelection() const
{
    QApplication::clipboard()->setText(selectionText());
}

bool Sheet::eventFilter(QObject* watched, QEvent* event)
{
    // The view alone would copy just the current cell.
    if (watched == m_table &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy)) {
            if (event->type() == QEvent::KeyPress)
                copySelection();
            event->accept();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace corvan
