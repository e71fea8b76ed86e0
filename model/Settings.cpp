#include "model/Settings.h"

namespace obu {
namespace {

struct KeyText {
    const char* section;  // null: the section is the entry's name
    const char* name;     // null: the name is the slot's number
    int defaultValue;     // for flags and numbers; texts default to empty
};

KeyText keyText(Setting setting) {
    switch (setting) {
        case Setting::Sound:
            return {"Options", "Sound", 1};
        case Setting::MinimizeOnConnect:
            return {"Options", "Minimize", 0};
        case Setting::MinimizeDialUpWindow:
            return {"Options", "Minimize Dun", 0};
        case Setting::RedialIfBusy:
            return {"Options", "Redial", 1};
        case Setting::DailyAlarm:
            return {"Alarm", "Daily", 0};
        case Setting::AlarmTime:
            return {"Alarm", "Time", 0};
        case Setting::EntryName:
            return {"Connection", "Name", 0};
        case Setting::UserName:
            return {"Connection", "Username", 0};
        case Setting::Password:
            return {"Connection", "Password", 0};
        case Setting::ConnectOnStart:
            return {"Connection", "AutoConnect", 0};
        case Setting::KeepTrying:
            return {"Connection", "KeepTrying", 1};
        case Setting::CheckHost:
            return {"Connection", "CheckHost", 0};
        case Setting::CheckSeconds:
            return {"Connection", "CheckSeconds", 60};
        case Setting::WindowLeft:
            return {"Position", "x", 5};
        case Setting::WindowTop:
            return {"Position", "y", 5};
        case Setting::DisconnectMinutes:
            return {"DTimer", "Value", 0};
        case Setting::ExtraLight:
            return {"Lights", nullptr, 0};
        case Setting::ExtraSet:
            return {"Extras Set", nullptr, 0};
        case Setting::ExtraName:
            return {"Extras Name", nullptr, 0};
        case Setting::ExtraPath:
            return {"Extras Path", nullptr, 0};
        case Setting::EntryUserName:
            return {nullptr, "Username", 0};
        case Setting::EntryPassword:
            return {nullptr, "Password", 0};
    }
    return {"", "", 0};
}

bool isPassword(Setting setting) {
    return setting == Setting::Password || setting == Setting::EntryPassword;
}

}  // namespace

QString SettingKey::section() const {
    const char* section = keyText(setting).section;
    return section ? QString::fromLatin1(section) : entry;
}

QString SettingKey::name() const {
    const char* name = keyText(setting).name;
    return name ? QString::fromLatin1(name) : QString::number(slot);
}

bool Settings::flag(const SettingKey& key) const {
    return m_file.readBool(key.section(), key.name(), keyText(key.setting).defaultValue != 0);
}

int Settings::number(const SettingKey& key) const {
    return m_file.readInteger(key.section(), key.name(), keyText(key.setting).defaultValue);
}

QString Settings::passwordEntry(const SettingKey& key, const QString* chosen) const {
    if (key.setting == Setting::EntryPassword) return key.entry;
    return chosen ? *chosen : text(Setting::EntryName);
}

QString Settings::text(const SettingKey& key) const {
    if (isPassword(key.setting))
        return m_passwords.read(key.section(), passwordEntry(key, nullptr));
    return m_file.readString(key.section(), key.name(), QString());
}

void Settings::setFlag(const SettingKey& key, bool value) {
    m_file.writeBool(key.section(), key.name(), value);
}

void Settings::setNumber(const SettingKey& key, int value) {
    m_file.writeInteger(key.section(), key.name(), value);
}

void Settings::setText(const SettingKey& key, const QString& value) {
    Changes changes;
    changes.setText(key, value);
    write(changes);
}

void Settings::write(const Changes& changes) {
    SettingsFile::Changes file;
    const QString* chosen = nullptr;  // the entry chosen by these changes
    for (const Changes::Step& step : changes.m_steps) {
        const QString section = step.key.section();
        const QString name = step.key.name();
        if (step.kind == Changes::Kind::Flag) {
            file.writeBool(section, name, step.number != 0);
        } else if (step.kind == Changes::Kind::Number) {
            file.writeInteger(section, name, step.number);
        } else if (isPassword(step.key.setting)) {
            m_passwords.add(file, section, passwordEntry(step.key, chosen), step.text);
        } else {
            file.writeString(section, name, step.text);
            if (step.key.setting == Setting::EntryName) chosen = &step.text;
        }
    }
    m_file.write(file);
    m_passwords.forgetUnused();
}

void Settings::Changes::setFlag(const SettingKey& key, bool value) {
    m_steps.push_back({key, Kind::Flag, value ? 1 : 0, {}});
}

void Settings::Changes::setNumber(const SettingKey& key, int value) {
    m_steps.push_back({key, Kind::Number, value, {}});
}

void Settings::Changes::setText(const SettingKey& key, const QString& value) {
    m_steps.push_back({key, Kind::Text, 0, value});
}

}  // namespace obu
