#pragma once
#include <QtGlobal>

#if defined(DBMANAGER_LIBRARY)
#define DBMANAGER_EXPORT Q_DECL_EXPORT
#else
#define DBMANAGER_EXPORT Q_DECL_IMPORT
#endif
