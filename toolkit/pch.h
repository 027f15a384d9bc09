// Precompiled Qt headers shared by the toolkit and the module's own code.
#pragma once
#ifdef __cplusplus
#include <QtCore>
#include <QtGui>
#include <QtWidgets>
#include <QtSql>
#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>
#endif
