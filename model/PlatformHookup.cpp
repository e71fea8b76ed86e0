#include "model/PlatformHookup.h"

#include <cstdio>

#include "model/AlarmClock.h"
#include "model/EventLog.h"
#include "model/Settings.h"
#include "platform/Errors.h"
#include "platform/Platform.h"
#include "platform/ResumeSource.h"

namespace obu {

void hookUpToPlatform(Platform& platform, Settings& settings, EventLog& log,
                      AlarmClock& alarmClock) {
    // The alarm's minute may have come and gone during a sleep.
    if (platform.resume)
        QObject::connect(platform.resume, &ResumeSource::resumed, &alarmClock,
                         &AlarmClock::recheck);
    log.setEcho(platform.logEcho);
    if (!platform.keyring) return;
    settings.useKeyring(platform.keyring, [&log](const QString& problem) {
        std::fprintf(stderr, "obu: %s\n", qPrintable(problem));
        try {
            log.writeLine(QStringLiteral("Keyring: ") + problem);
        } catch (const ObuError&) {
            // Said on standard error already; the log may not be there yet.
        }
    });
}

}  // namespace obu
