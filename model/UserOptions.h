#pragma once
#include <QObject>
#include <array>

namespace obu {

class Settings;

// The program's five switches, which the tray menu shows as check marks.
// Four reach obu.ini the moment they are toggled; the redial switch only
// with the settings saved at exit.
class UserOptions : public QObject {
    Q_OBJECT
public:
    enum class Option {
        Sound,
        ConnectOnStart,
        MinimizeOnConnect,
        MinimizeDialUpWindow,
        RedialIfBusy
    };
    static constexpr int kCount = 5;

    explicit UserOptions(Settings& settings);

    bool isOn(Option option) const { return m_on[index(option)]; }
    // Takes the stored switches. Connect on Start counts only when an entry
    // to dial is stored; without one it is held (see connectOnStartHeld).
    void load();
    // Connect on Start was stored without an entry (written by hand, or
    // before the entry): it does not dial this run, and the save at exit
    // keeps it, so choosing an entry later is enough. Toggling the switch
    // lets it go.
    bool connectOnStartHeld() const { return m_connectOnStartHeld; }
    // What the save at exit stores for Connect on Start.
    bool connectOnStartStored() const {
        return isOn(Option::ConnectOnStart) || m_connectOnStartHeld;
    }
    // Flips a switch as the user asked, and stores it at once unless it is
    // the redial switch.
    void toggle(Option option);

signals:
    void changed(obu::UserOptions::Option option, bool on);

private:
    static int index(Option option) { return static_cast<int>(option); }
    void set(Option option, bool on);

    Settings& m_settings;
    // Sound is on until the settings say otherwise.
    std::array<bool, kCount> m_on{true, false, false, false, false};
    bool m_connectOnStartHeld = false;
};

}  // namespace obu
