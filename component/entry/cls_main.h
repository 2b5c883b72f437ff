// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QVector>

#include "corvan/component.h"

namespace corvan {

// The component's one public class: the host creates it, hands it its services and
// drives the component's windows through it.
class clsMain : public QObject, public Component {
    Q_OBJECT
    Q_INTERFACES(corvan::Component)

public:
    explicit clsMain(QObject* parent = nullptr);

    void initEnv(const QVector<QObject*>& objArr) override;
    void clearEnv() override;
    void hildFrm() override;
    void showFrm() override;
    void ShowMainForm() override;

    // The visibility recorded by the last hildFrm: one entry per window then loaded, plus
    // a spare entry that stays false.
    const QVector<bool>& visibilityRecord() const { return m_visible; }

private:
    QVector<bool> m_visible;
};

} // namespace corvan
