// SPDX-License-Identifier: MIT
#include "ui/active_bar.h"

#include <QAction>

namespace corvan {

ActiveBar::ActiveBar(const QString& name, QObject* parent) : QObject(parent)
{
    setObjectName(name);
}

QAction* ActiveBar::addTool(const QString& name, const QString& caption, const QString& toolTip)
{
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    if (!toolTip.isEmpty())
        action->setToolTip(toolTip);
    connect(action, &QAction::triggered, this, [this, name] { emit ToolClick(name); });
    m_tools.insert(name, action);
    return action;
}

} // namespace corvan
