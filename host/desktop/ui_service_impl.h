// SPDX-License-Identifier: MIT
#pragma once

#include "corvan/services.h"

#include <QObject>
#include <QString>

namespace corvan::host {

// The busy cursor and a small text helper. Waits nest: each BeginWait pushes the wait
// cursor and each EndWait pops one, so an inner pair never ends an outer wait early,
// and a stray EndWait cannot pop a cursor that someone else set.
class UiServiceImpl : public QObject, public UiService {
    Q_OBJECT
    Q_INTERFACES(corvan::UiService)

public:
    explicit UiServiceImpl(QObject* parent = nullptr);
    ~UiServiceImpl() override;

    void BeginWait(QWidget* window) override;
    void EndWait() override;
    int waitDepth() const { return m_depth; }

    QString GetTextField(const QString& text, const QString& separator, int position) override;

private:
    int m_depth = 0;
};

} // namespace corvan::host
