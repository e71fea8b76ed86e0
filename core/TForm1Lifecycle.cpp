// Start-up and shutdown of the main window.
#include "core/Program.h"
#include "core/TForm1.h"
#include "platform/Formats.h"
#include "platform/Platform.h"
#include "shell/TForm2.h"

namespace obu {

void TForm1::FormCreate() {
    Platform& p = platform();
    LogFile = std::make_unique<EventLog>(*p.clock, *p.formats, p.programFolder + QStringLiteral("log.txt"));
    LogFile->setEcho(p.logEcho);

    // 1. A new log for every run. When it cannot be made the user is told and
    // the start goes on: the settings must still be read, or the save at exit
    // would overwrite them with defaults.
    handle([this] { LogFile->Start(QStringLiteral("OBU Launched")); });

    handle([this, &p] {
        // 2.
        program().application().HelpFile = p.programFolder + QStringLiteral("help.hlp");
        // 3.
        setPosition(15, 15);
        SessionActive = false;
        HungUpBySelf = false;
        Label18->move(208, 24);
        setOuterSize(452, 243);
        // 4.
        ReadyToConnect = true;
        Edit1->clear();
        MaskEdit1->clear();
        // 7.
        LoadExtrasSwitchOff();
        // 8.
        AlarmTime.clear();
        // 9.
        SettingsFile = std::make_unique<obu::SettingsFile>(*p.profile, p.programFolder + QStringLiteral("obu.ini"));
        // 10.
        TForm2* tray = program().Form2;
        DailyAlarm = SettingsFile->ReadBool(QStringLiteral("Alarm"), QStringLiteral("Daily"), false);
        AlarmTime = SettingsFile->ReadString(QStringLiteral("Alarm"), QStringLiteral("Time"), QString())
                        .left(kMaxFieldText);
        tray->Sound1->setChecked(SettingsFile->ReadBool(QStringLiteral("Options"), QStringLiteral("Sound"), true));
        tray->MinimizeonConnect1->setChecked(
            SettingsFile->ReadBool(QStringLiteral("Options"), QStringLiteral("Minimize"), false));
        tray->MinimizeDUNonConnect1->setChecked(
            SettingsFile->ReadBool(QStringLiteral("Options"), QStringLiteral("Minimize Dun"), false));
        tray->RedialifLineisBusy1->setChecked(
            SettingsFile->ReadBool(QStringLiteral("Options"), QStringLiteral("Redial"), true));
        LoadExtrasReadLights();
        // 12.
        setPosition(SettingsFile->ReadInteger(QStringLiteral("Position"), QStringLiteral("x"), 5),
                    SettingsFile->ReadInteger(QStringLiteral("Position"), QStringLiteral("y"), 5));
        // 13.
        LoadExtrasReadTable();
        settingsRead_ = true;
        // 15.
        LoadExtrasShow();
    });
}

void TForm1::FormDestroy() {
    // 1. The disconnect timer is left alone: ending the program never hangs up.
    Timer1.setEnabled(false);
    Timer2.setEnabled(false);
    Timer3.setEnabled(false);
    Timer4.setEnabled(false);
    Timer6.setEnabled(false);
    tm_dis.setEnabled(false);
    handle([this] {
        // 2. Only settings that were read are written back.
        if (settingsRead_ && SettingsFile) SaveSettings();
        // 3.
        SettingsFile.reset();
        // 4.
        LogFile->WriteLogLine(QStringLiteral("OBU Closed"));
    });
}

void TForm1::SaveSettings() {
    TForm2* tray = program().Form2;
    obu::SettingsFile& ini = *SettingsFile;
    ini.WriteBool(QStringLiteral("Options"), QStringLiteral("Sound"), tray->Sound1->isChecked());
    ini.WriteBool(QStringLiteral("Options"), QStringLiteral("Minimize"), tray->MinimizeonConnect1->isChecked());
    ini.WriteBool(QStringLiteral("Options"), QStringLiteral("Minimize Dun"),
                  tray->MinimizeDUNonConnect1->isChecked());
    ini.WriteBool(QStringLiteral("Options"), QStringLiteral("Redial"), tray->RedialifLineisBusy1->isChecked());
    ini.WriteBool(QStringLiteral("Alarm"), QStringLiteral("Daily"), DailyAlarm);
    ini.WriteBool(QStringLiteral("Connection"), QStringLiteral("AutoConnect"), tray->ConnectonStart1->isChecked());
    ini.WriteString(QStringLiteral("Alarm"), QStringLiteral("Time"), AlarmTime);
    for (int n = 1; n <= kExtraSlots; ++n)
        ini.WriteBool(QStringLiteral("Lights"), QString::number(n), ExtraOn[n]);
    ini.WriteInteger(QStringLiteral("Position"), QStringLiteral("x"), Left());
    ini.WriteInteger(QStringLiteral("Position"), QStringLiteral("y"), Top());
}

void TForm1::FormClose() { program().Form2->Close(); }

}  // namespace obu
