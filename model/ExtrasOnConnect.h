#pragma once

namespace obu {

class EventLog;
class Extras;
class LineKeeper;

// The extras start each time the kept line comes up, and when the keeper
// asks for them (the modem held by another program and the user wanting
// them all the same); their lines go to the log.
// For as long as the keeper lives.
void launchExtrasOnConnect(LineKeeper& keeper, Extras& extras, EventLog& log);

}  // namespace obu
