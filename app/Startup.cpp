#include "app/Startup.h"

#include <QObject>
#include <cstdio>

#include "app/KeeperBus.h"
#include "app/Options.h"
#include "app/SettingsOptions.h"
#include "app/SingleInstance.h"
#include "dialup/CombinedDialUpService.h"
#include "model/Settings.h"
#include "platform/Autostart.h"
#include "platform/DataFolders.h"
#include "platform/IniFileProfile.h"
#include "platform/ProgramFolder.h"
#include "platform/SecretService.h"

namespace obu {

namespace {

bool haveDisplay() {
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

}  // namespace

bool runsHeadless(const Options& options) {
    if (options.headless || options.writesSettings()) return true;
    if (options.platformChosen || haveDisplay() ||
        qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("offscreen"))
        return false;
    std::fputs("obu: no display found; running headless (see obu --help)\n", stderr);
    return true;
}

int setAutostartAndExit(bool on) {
    QString message;
    const bool done = setAutostart(on, autostartProgram(executableFolder()), message);
    std::fprintf(done ? stdout : stderr, "%s%s\n", done ? "" : "obu: ", qPrintable(message));
    return done ? 0 : 1;
}

int claimOrExit(SingleInstance& instance, bool writingSettings) {
    const auto claim = instance.acquire();
    if (claim == SingleInstance::Claim::Unguarded) {
        std::fprintf(stderr, "obu: %s; running without the guard against a second copy\n",
                     qPrintable(instance.unguardedReason()));
    } else if (claim == SingleInstance::Claim::HeldByAnother && writingSettings) {
        // Its save at exit would write over them.
        std::fputs(
            "obu: a running copy keeps these settings; end it first (systemctl --user stop "
            "obu-keeper)\n",
            stderr);
        return 1;
    } else if (claim == SingleInstance::Claim::HeldByAnother) {
        if (instance.signalRunningCopy()) {
            std::puts(
                "Obu Linekeeper is already running with these settings; its window was brought "
                "forward.");
            return 0;
        }
        std::fprintf(stderr, "obu: another copy holds %s but does not answer: %s\n",
                     qPrintable(instance.lockPath()), qPrintable(instance.signalProblem()));
        return 1;
    }
    return -1;
}

int writeSettings(const Options& options, const DataFolders& folders) {
    if (!options.writesSettings()) return -1;
    IniFileProfile profile;
    Settings settings(profile, folders.settings + QStringLiteral("obu.ini"));
    // Nobody would see the keyring's prompt: a locked keyring leaves the
    // password in obu.ini.
    SecretService keyring(SecretService::Options{false});
    if (!folders.besideProgram)
        settings.useKeyring(&keyring, [](const QString& problem) {
            std::fprintf(stderr, "obu: %s\n", qPrintable(problem));
        });
    const int exit = writeSettingsOptions(options, settings);
    return exit != 0 || !options.headless ? exit : -1;
}

void logHiddenEntries(CombinedDialUpService& dialUp, std::function<void(const QString&)> write,
                      QObject& context) {
    QObject::connect(
        &dialUp, &CombinedDialUpService::entryHidden, &context,
        [write = std::move(write)](const QString& name, const QString& source) {
            write(QStringLiteral("The %1 connection \"%2\" is hidden by the phone book's entry "
                                 "of the same name")
                      .arg(source, name));
        },
        Qt::QueuedConnection);
}

std::unique_ptr<KeeperBus> offerOnSessionBus(LineKeeper& keeper, const AlarmClock& alarm) {
    auto bus = std::make_unique<KeeperBus>(keeper, alarm);
    if (const QString problem = bus->registerOnSessionBus(); !problem.isEmpty())
        std::fprintf(stderr, "obu: %s; no control on the session bus\n", qPrintable(problem));
    return bus;
}

}  // namespace obu
