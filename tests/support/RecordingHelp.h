#pragma once
#include <QFileInfo>
#include <QStringList>

#include "platform/Help.h"

namespace obu::test {

// The help viewer as a list: every request is recorded, and a request is
// answered as the real viewer answers it, by whether the file can be read.
class RecordingHelp : public Help {
public:
    bool showContents(const QString& helpFile) override {
        requests.append(helpFile);
        const QFileInfo info(helpFile);
        const bool readable = info.isFile() && info.isReadable();
        if (readable) shown.append(helpFile);
        return readable;
    }

    QStringList requests;
    QStringList shown;
};

}  // namespace obu::test
