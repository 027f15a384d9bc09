#pragma once
// Helpers shared by the test programs: temporary folders and databases.
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// Folder of the built binaries (module, host).
QString BinDir();
// Folder of the source tree.
QString SourceDir();

}  // namespace testsupport
