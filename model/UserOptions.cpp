#include "model/UserOptions.h"

#include "model/Settings.h"

namespace obu {

UserOptions::UserOptions(Settings& settings) : m_settings(settings) {}

void UserOptions::set(Option option, bool on) {
    if (m_on[index(option)] == on) return;
    m_on[index(option)] = on;
    emit changed(option, on);
}

void UserOptions::load() {
    set(Option::Sound, m_settings.flag(Setting::Sound));
    set(Option::MinimizeOnConnect, m_settings.flag(Setting::MinimizeOnConnect));
    set(Option::MinimizeDialUpWindow, m_settings.flag(Setting::MinimizeDialUpWindow));
    set(Option::RedialIfBusy, m_settings.flag(Setting::RedialIfBusy));
    if (!m_settings.text(Setting::EntryName).isEmpty())
        set(Option::ConnectOnStart, m_settings.flag(Setting::ConnectOnStart));
}

void UserOptions::toggle(Option option) {
    const bool on = !isOn(option);
    set(option, on);
    switch (option) {
        case Option::Sound:
            m_settings.setFlag(Setting::Sound, on);
            break;
        case Option::ConnectOnStart:
            m_settings.setFlag(Setting::ConnectOnStart, on);
            break;
        case Option::MinimizeOnConnect:
            m_settings.setFlag(Setting::MinimizeOnConnect, on);
            break;
        case Option::MinimizeDialUpWindow:
            m_settings.setFlag(Setting::MinimizeDialUpWindow, on);
            break;
        case Option::RedialIfBusy:
            // Stored with the other settings at exit.
            break;
    }
}

}  // namespace obu
