#include "platform/Errors.h"

#include <cerrno>

namespace obu {

QString IoError::textFor(int code) {
    switch (code) {
        case 2:
            return QStringLiteral("File not found");
        case 5:
            return QStringLiteral("File access denied");
        default:
            return QStringLiteral("I/O error %1").arg(code);
    }
}

int IoError::codeForErrno(int err) {
    switch (err) {
        case ENOENT:
            return 2;  // ERROR_FILE_NOT_FOUND
        case ENOTDIR:
            return 3;  // ERROR_PATH_NOT_FOUND
        case EMFILE:
        case ENFILE:
            return 4;  // ERROR_TOO_MANY_OPEN_FILES
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
        case EISDIR:   // a folder where a file must be
        case ELOOP:    // a link where a file must be
            return 5;  // ERROR_ACCESS_DENIED
        case ENOSPC:
        case EDQUOT:
            return 112;  // ERROR_DISK_FULL
        case ENAMETOOLONG:
            return 206;
        default:
            return 1117;  // ERROR_IO_DEVICE
    }
}

}  // namespace obu
