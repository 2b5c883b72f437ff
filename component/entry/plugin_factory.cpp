// SPDX-License-Identifier: MIT
#include "entry/plugin_factory.h"

#include "entry/cls_main.h"

namespace corvan {

Component* PluginFactory::createComponent(QObject* parent)
{
    return new clsMain(parent);
}

} // namespace corvan
