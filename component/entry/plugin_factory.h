// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include "corvan/component.h"

namespace corvan {

// The plug-in's root object: hosts find it by its IID and ask it for clsMain instances.
class PluginFactory : public QObject, public ComponentFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID CorvanComponentFactory_iid)
    Q_INTERFACES(corvan::ComponentFactory)

public:
    Component* createComponent(QObject* parent) override;
};

} // namespace corvan
