// Why a file could not be read or written, in words the user reads in a box.
#pragma once

#include <QString>

namespace rpn {

// The error of a failed read or write, in Japanese for the common causes (a system error number:
// not found, permission denied, a folder, a read-only file system, disk full or a write error,
// a file too large); the platform's own text for any other.
QString fileErrorCause(int systemError, const QString& platformText, bool writing);

} // namespace rpn
