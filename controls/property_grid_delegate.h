// SPDX-License-Identifier: MIT
#pragma once

#include <QStyledItemDelegate>

namespace corvan {

class PropertyGridModel;

// Draws a property grid's rows (header rows, cell lines, the numbered step look) and makes
// the value editors: a fixed drop-down when a property has options, free text otherwise.
class PropertyGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit PropertyGridDelegate(const PropertyGridModel& model, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    void paintStep(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;

    const PropertyGridModel& m_model;
};

} // namespace corvan
