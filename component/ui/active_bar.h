// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QAction;

namespace corvan {

// A window's command bar: its tools by name, reported to one handler by name when
// clicked, the way the windows' command handlers expect them.
class ActiveBar : public QObject {
    Q_OBJECT

public:
    explicit ActiveBar(const QString& name, QObject* parent);

    // A tool with its caption and tool tip; the action carries the tool's name.
    QAction* addTool(const QString& name, const QString& caption, const QString& toolTip = QString());
    QAction* tool(const QString& name) const { return m_tools.value(name, nullptr); }

signals:
    void ToolClick(const QString& name);

private:
    QHash<QString, QAction*> m_tools;
};

} // namespace corvan
