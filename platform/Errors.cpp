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
            return 2;  // "File not found"
        case ENOTDIR:
            return 3;  // a folder of the path is missing
        case EMFILE:
        case ENFILE:
            return 4;  // too many open files
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
        case EISDIR:   // a folder where a file must be
        case ELOOP:    // a link where a file must be
            return 5;  // "File access denied"
        case ENOSPC:
        case EDQUOT:
            return 112;  // the disk is full
        case ENAMETOOLONG:
            return 206;  // the name is too long
        default:
            return 1117;  // the device failed
    }
}

}  // namespace obu
