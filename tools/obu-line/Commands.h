#pragma once
// The commands of obu-line, each returning its exit status (Output.h).
#include "tools/obu-line/Service.h"

namespace obu::line {

int listEntries(Services& s, const Request& request);
int listConnections(Services& s, const Request& request);
int dial(Services& s, const Request& request);
// Adds to a dial's words (ENTRY [USER]) the user name and password stored for
// the entry by obu: from the keyring where an installed obu keeps them there.
void addStoredCredentials(QStringList& words);
// hangup and drop: ENTRY or all.
int hangUp(Services& s, const Request& request);
int drop(Services& s, const Request& request);
int showHistory(const Request& request, const QString& historyFile);

}  // namespace obu::line
