// SPDX-License-Identifier: MIT
#pragma once

#include <QtCore/qglobal.h>

// The interface of the controls' libraries: both are built with hidden visibility, and only
// the classes marked here are seen from outside them (a host, the component).
#if defined(CORVAN_ITEMS_LIBRARY)
#define CORVAN_ITEMS_EXPORT Q_DECL_EXPORT
#else
#define CORVAN_ITEMS_EXPORT Q_DECL_IMPORT
#endif

#if defined(CORVAN_CONTROLS_LIBRARY)
#define CORVAN_CONTROLS_EXPORT Q_DECL_EXPORT
#else
#define CORVAN_CONTROLS_EXPORT Q_DECL_IMPORT
#endif
