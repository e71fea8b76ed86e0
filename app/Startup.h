#pragma once
#include <QString>
#include <functional>
#include <memory>

class QObject;

namespace obu {

struct Options;
struct DataFolders;
class AlarmClock;
class CombinedDialUpService;
class KeeperBus;
class LineKeeper;
class SingleInstance;

// The steps of a start that the keeper without windows and the windowed
// program share.

// Asked for, or guessed without a display. Writing the settings shows no
// window either.
bool runsHeadless(const Options& options);

// --autostart on or off: done, said, and the exit code.
int setAutostartAndExit(bool on);

// The one running copy per set of settings. Returns the exit code when this
// copy is not to run; a guard that cannot be had is said and the program runs.
int claimOrExit(SingleInstance& instance, bool writingSettings);

// --entry and the others: written, then the program ends (the exit code) or,
// with --headless, runs on (-1).
int writeSettings(const Options& options, const DataFolders& folders);

// A phone-book entry that hides another source's of the same name is said
// in the log, through `write`, once it is seen; through the loop, as the
// list is filled while the program is being made.
void logHiddenEntries(CombinedDialUpService& dialUp, std::function<void(const QString&)> write,
                      QObject& context);

// The keeper's interface on the session bus; its absence is said on
// standard error.
std::unique_ptr<KeeperBus> offerOnSessionBus(LineKeeper& keeper, const AlarmClock& alarm);

}  // namespace obu
