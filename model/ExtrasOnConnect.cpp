#include "model/ExtrasOnConnect.h"

#include "model/EventLog.h"
#include "model/Extras.h"
#include "model/LineKeeper.h"

namespace obu {

void launchExtrasOnConnect(LineKeeper& keeper, Extras& extras, EventLog& log) {
    const auto launch = [&extras, &log] { extras.launch(log); };
    QObject::connect(&keeper, &LineKeeper::connected, &extras, launch);
    QObject::connect(&keeper, &LineKeeper::extrasWanted, &extras, launch);
}

}  // namespace obu
