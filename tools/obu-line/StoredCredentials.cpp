// The user name and password that obu keeps for an entry, for a dial that
// names neither.
#include "model/Settings.h"
#include "platform/DataFolders.h"
#include "platform/IniFileProfile.h"
#include "platform/ProgramFolder.h"
#include "platform/SecretService.h"
#include "tools/obu-line/Commands.h"

namespace obu::line {

void addStoredCredentials(QStringList& words) {
    const DataFolders folders = dataFolders(executableFolder());
    if (folders.settings.isEmpty()) return;
    IniFileProfile profile;
    Settings settings(profile, folders.settings + QStringLiteral("obu.ini"));
    // A terminal shows no keyring prompt: a locked keyring is said, not waited for.
    SecretService keyring(SecretService::Options{false});
    if (!folders.besideProgram)
        settings.useKeyring(
            &keyring, [](const QString& problem) { err() << "obu-line: " << problem << Qt::endl; });
    const QString entry = words.value(0);
    // As obu's connection panel offers them: the chosen connection's own
    // first, else those last given for the entry.
    const bool chosen = settings.text(Setting::EntryName) == entry;
    const QString user = settings.text(chosen ? SettingKey(Setting::UserName)
                                              : SettingKey(Setting::EntryUserName, entry));
    if (words.size() < 2) words << user;
    // A password is only ever given to the user it was stored with.
    if (words[1] != user) return;
    words << settings.text(chosen ? SettingKey(Setting::Password)
                                  : SettingKey(Setting::EntryPassword, entry));
}

}  // namespace obu::line
