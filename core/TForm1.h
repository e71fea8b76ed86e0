#pragma once
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <memory>

#include "core/EventLog.h"
#include "core/SettingsFile.h"
#include "extras/ExtrasTable.h"
#include "platform/WindowTimer.h"
#include "ui/Form.h"

namespace obu {

// The main window, "Obu Linekeeper v1.3". It owns almost all shared state:
// the settings file, the log, the connection flags, the extras, the alarm and
// the timers. Its handlers live in the folder of the subsystem they belong to.
class TForm1 : public Form {
    Q_OBJECT
public:
    explicit TForm1(Program& program);
    ~TForm1() override;

    // The outer size of the window, as the original measured it: the client
    // area plus the frame. 452 × 243 closed, 608 wide with the panel open.
    static constexpr int kFrameWidth = 6;
    static constexpr int kFrameHeight = 27;
    int Width() const { return width() + kFrameWidth; }
    int Height() const { return height() + kFrameHeight; }
    void setWidth(int outerWidth);
    void setOuterSize(int outerWidth, int outerHeight);
    int Left() const { return pos().x(); }
    int Top() const { return pos().y(); }
    void setPosition(int left, int top) { move(left, top); }

    // Start-up and shutdown.
    void FormCreate();
    void FormDestroy();
    void SaveSettings();

    // The one way a log line is written.
    void WriteLogLine(const QString& message) { LogFile->WriteLogLine(message); }
    void WriteLogLines(const QStringList& messages) { LogFile->WriteLogLines(messages); }

    // Connection flags.
    bool SessionActive = false;
    bool HungUpBySelf = false;
    bool ReadyToConnect = true;

    // Alarm.
    QString AlarmTime;
    bool DailyAlarm = false;

    // Extras.
    TExtrasTable ExtrasTable;
    TExtraFlags ExtraOn{};
    // The lights as saved at the last exit; only slots with a path take them.
    TExtraFlags SavedLights{};

    std::unique_ptr<obu::SettingsFile> SettingsFile;
    std::unique_ptr<EventLog> LogFile;

    // Controls that other windows and tests read.
    QLabel* Label2 = nullptr;    // current connection name
    QLabel* Label12 = nullptr;   // alarm time
    QLabel* Label18 = nullptr;   // the quotation
    QLabel* Status = nullptr;    // "Status:" caption
    QLabel* Status2 = nullptr;   // the status line
    QListWidget* ListBox1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* MaskEdit1 = nullptr;

    // Timers of the main window.
    WindowTimer Timer1;   // one-time alarm check
    WindowTimer Timer2;   // daily alarm check
    WindowTimer Timer3;   // drop watch
    WindowTimer Timer4;   // quotation steps
    WindowTimer Timer6;   // dial-up window minimizer
    WindowTimer tm_dis;   // line monitor
    WindowTimer dtimer;   // disconnect timer

protected:
    void FormClose() override;

private:
    void buildControls();
    // Reading steps of the extras at start-up.
    void LoadExtrasSwitchOff();
    void LoadExtrasReadLights();
    void LoadExtrasReadTable();
    void LoadExtrasShow();
    // The settings were read, so saving them at exit loses nothing.
    bool settingsRead_ = false;
};

}  // namespace obu
