#include "model/UserOptions.h"

#include "model/Settings.h"

namespace obu {

UserOptions::UserOptions(Settings& settings) : m_settings(settings) {}

void UserOptions::set(Option option, bool on) {
    if (m_on[index(option)] == on) return;
    m_on[index(option)] = on;
    emit changed(option, on);
}

namespace {

// Where each option is kept in obu.ini.
Setting keyOf(UserOptions::Option option) {
    switch (option) {
        case UserOptions::Option::Sound:
            return Setting::Sound;
        case UserOptions::Option::ConnectOnStart:
            return Setting::ConnectOnStart;
        case UserOptions::Option::MinimizeOnConnect:
            return Setting::MinimizeOnConnect;
        case UserOptions::Option::MinimizeDialUpWindow:
            return Setting::MinimizeDialUpWindow;
        case UserOptions::Option::RedialIfBusy:
            break;
    }
    return Setting::RedialIfBusy;
}

}  // namespace

void UserOptions::load() {
    for (const Option option : {Option::Sound, Option::MinimizeOnConnect,
                                Option::MinimizeDialUpWindow, Option::RedialIfBusy})
        set(option, m_settings.flag(keyOf(option)));
    const bool connectOnStart = m_settings.flag(keyOf(Option::ConnectOnStart));
    m_connectOnStartHeld = connectOnStart && m_settings.text(Setting::EntryName).isEmpty();
    if (!m_connectOnStartHeld) set(Option::ConnectOnStart, connectOnStart);
}

void UserOptions::toggle(Option option) {
    const bool on = !isOn(option);
    if (option == Option::ConnectOnStart) m_connectOnStartHeld = false;
    set(option, on);
    // Redial is stored with the other settings at exit; the others at once.
    if (option != Option::RedialIfBusy) m_settings.setFlag(keyOf(option), on);
}

}  // namespace obu
