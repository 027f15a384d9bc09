#include "tests/TestSupport.h"

namespace testsupport {

QString BinDir() { return QStringLiteral(VELTRANE_BIN_DIR); }
QString SourceDir() { return QStringLiteral(VELTRANE_SOURCE_DIR); }

}  // namespace testsupport
