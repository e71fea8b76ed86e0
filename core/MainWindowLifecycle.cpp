// Start-up and shutdown of the main window.
#include "core/MainWindow.h"
#include "core/PasswordCodec.h"
#include "core/Program.h"
#include "platform/Dialogs.h"
#include "platform/Formats.h"
#include "platform/Platform.h"
#include "platform/Windows.h"
#include "shell/SplashScreen.h"

namespace obu {

void MainWindow::FormCreate() {
    Platform& p = platform();
    LogFile =
        std::make_unique<EventLog>(*p.clock, *p.formats, p.logPath(QStringLiteral("log.txt")));
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
        // 5.
        dialer->RefreshEntryList();
        ListBox1->clear();
        ListBox1->addItems(dialer->EntryList());
        // 6.
        Image10->DrawFace(ImageList2, 0);
        Image11->DrawFace(ImageList3, 0);
        Image12->DrawFace(ImageList4, 0);
        Image14->DrawFace(ImageList6, 0);
        Image15->DrawFace(ImageList7, 0);
        // 7.
        LoadExtrasSwitchOff();
        // 8.
        AlarmTime.clear();
        // 9.
        SettingsFile = std::make_unique<obu::SettingsFile>(
            *p.profile, p.settingsPath(QStringLiteral("obu.ini")));
        // A file that cannot be read would come back as defaults and be
        // overwritten by them at exit: say so now, and save nothing.
        const QString readProblem = SettingsFile->ReadProblem();
        if (!readProblem.isEmpty()) p.dialogs->errorBox(program().application().Title, readProblem);
        // 10.
        SplashScreen* tray = program().splashScreen;
        DailyAlarm =
            SettingsFile->ReadBool(QStringLiteral("Alarm"), QStringLiteral("Daily"), false);
        AlarmTime =
            SettingsFile->ReadString(QStringLiteral("Alarm"), QStringLiteral("Time"), QString())
                .left(kMaxFieldText);
        tray->Sound1->setChecked(
            SettingsFile->ReadBool(QStringLiteral("Options"), QStringLiteral("Sound"), true));
        tray->MinimizeonConnect1->setChecked(
            SettingsFile->ReadBool(QStringLiteral("Options"), QStringLiteral("Minimize"), false));
        tray->MinimizeDUNonConnect1->setChecked(SettingsFile->ReadBool(
            QStringLiteral("Options"), QStringLiteral("Minimize Dun"), false));
        tray->RedialifLineisBusy1->setChecked(
            SettingsFile->ReadBool(QStringLiteral("Options"), QStringLiteral("Redial"), true));
        LoadExtrasReadLights();
        // 11. The credentials count only with an entry to dial.
        if (!SettingsFile
                 ->ReadString(QStringLiteral("Connection"), QStringLiteral("Name"), QString())
                 .isEmpty()) {
            tray->ConnectonStart1->setChecked(SettingsFile->ReadBool(
                QStringLiteral("Connection"), QStringLiteral("AutoConnect"), false));
            dialer->setEntryName(SettingsFile->ReadString(QStringLiteral("Connection"),
                                                          QStringLiteral("Name"), QString()));
            Label2->setText(dialer->EntryName());
            dialer->setUserName(SettingsFile->ReadString(QStringLiteral("Connection"),
                                                         QStringLiteral("Username"), QString()));
            dialer->setPassword(DecodePassword(SettingsFile->ReadString(
                QStringLiteral("Connection"), QStringLiteral("Password"), QString())));
        }
        // 12.
        setPosition(SettingsFile->ReadInteger(QStringLiteral("Position"), QStringLiteral("x"), 5),
                    SettingsFile->ReadInteger(QStringLiteral("Position"), QStringLiteral("y"), 5));
        // 13.
        LoadExtrasReadTable();
        settingsRead_ = readProblem.isEmpty();
        // 14.
        ArmAlarmAtStart();
        // 15.
        LoadExtrasShow();
        // 16.
        if (DetectConnection()) {
            SessionActive = true;
            HungUpBySelf = false;
        }
    });
}

void MainWindow::FormDestroy() {
    // 1. The disconnect timer is left alone: ending the program never hangs up.
    Timer1.setEnabled(false);
    Timer2.setEnabled(false);
    Timer3.setEnabled(false);
    Timer4.setEnabled(false);
    Timer6.setEnabled(false);
    tm_dis.setEnabled(false);
    if (platform().windows) platform().windows->unwatch();
    // 2. Only settings that were read are written back. A save that fails is
    // reported and the close is still logged.
    handle([this] {
        if (settingsRead_ && SettingsFile) SaveSettings();
    });
    // 3.
    SettingsFile.reset();
    // 4.
    handle([this] { LogFile->WriteLogLine(QStringLiteral("OBU Closed")); });
}

void MainWindow::SaveSettings() {
    SplashScreen* tray = program().splashScreen;
    // One replace of the file for all of them: a kill leaves the old settings or the new.
    obu::SettingsFile::Changes ini;
    ini.WriteBool(QStringLiteral("Options"), QStringLiteral("Sound"), tray->Sound1->isChecked());
    ini.WriteBool(QStringLiteral("Options"), QStringLiteral("Minimize"),
                  tray->MinimizeonConnect1->isChecked());
    ini.WriteBool(QStringLiteral("Options"), QStringLiteral("Minimize Dun"),
                  tray->MinimizeDUNonConnect1->isChecked());
    ini.WriteBool(QStringLiteral("Options"), QStringLiteral("Redial"),
                  tray->RedialifLineisBusy1->isChecked());
    ini.WriteBool(QStringLiteral("Alarm"), QStringLiteral("Daily"), DailyAlarm);
    ini.WriteBool(QStringLiteral("Connection"), QStringLiteral("AutoConnect"),
                  tray->ConnectonStart1->isChecked());
    ini.WriteString(QStringLiteral("Alarm"), QStringLiteral("Time"), AlarmTime);
    ini.WriteString(QStringLiteral("Connection"), QStringLiteral("Name"), dialer->EntryName());
    ini.WriteString(QStringLiteral("Connection"), QStringLiteral("Username"), dialer->UserName());
    ini.WriteString(QStringLiteral("Connection"), QStringLiteral("Password"),
                    EncodePassword(dialer->Password()));
    for (int n = 1; n <= kExtraSlots; ++n)
        ini.WriteBool(QStringLiteral("Lights"), QString::number(n), ExtraOn[n]);
    ini.WriteInteger(QStringLiteral("Position"), QStringLiteral("x"), Left());
    ini.WriteInteger(QStringLiteral("Position"), QStringLiteral("y"), Top());
    SettingsFile->Write(ini);
}

void MainWindow::FormClose() {
    program().splashScreen->Close();
}

}  // namespace obu
