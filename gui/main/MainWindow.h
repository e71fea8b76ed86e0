#pragma once
#include <QLabel>
#include <array>
#include <memory>

#include "gui/alarm/SettingsPanel.h"
#include "gui/extras/MiddlePanel.h"
#include "gui/shell/DialUpWindowMinimizer.h"
#include "gui/skin/Form.h"
#include "gui/skin/ImageList.h"
#include "gui/skin/SkinImage.h"
#include "model/AlarmClock.h"
#include "model/EventLog.h"
#include "model/Extras.h"
#include "model/Settings.h"
#include "model/UserOptions.h"
#include "platform/Sound.h"
#include "platform/WindowTimer.h"

namespace obu {

class LineKeeper;

// The main window, "Obu Linekeeper v1.3": the buttons, the status line that
// shows what the line keeper says, the about picture and the quotation. It
// composes the middle panel with the extras, the settings panel with the
// alarm and the connection, and the minimizer of the dial-up window.
class MainWindow : public Form, public PanelHost {
    Q_OBJECT
public:
    explicit MainWindow(ProgramModel& program);
    ~MainWindow() override;

    // The window's size is kept as its outer size, the client area plus the
    // frame: 452 × 243 closed, 608 wide with the panel open. The panel's
    // slide and the stored layout are reckoned in these numbers.
    static constexpr int kFrameWidth = 6;
    static constexpr int kFrameHeight = 27;
    // The size last given, not the one the window manager reports: its late
    // answer to an earlier resize must not step the panel's slide back.
    int outerWidth() const override { return m_outerWidth; }
    int outerHeight() const { return m_outerHeight; }
    void setOuterWidth(int outerWidth) override;
    void setOuterSize(int outerWidth, int outerHeight);
    void setPosition(int left, int top) { move(left, top); }
    // The stored position, when the window is mostly on a screen there.
    void placeAtStoredPosition(const QPoint& stored);
    // The position the settings keep at exit.
    QPoint positionToSave() const;

    // Start-up and shutdown: the program's (model/StartAndExit) with what the window shows of it.
    void startUp();
    void shutDown();
    void saveSettings();

    // The one way a log line is written.
    void writeLogLine(const QString& message) { m_log.writeLine(message); }

    // Skin button press and release of the connect button.
    void pressConnectButton(Qt::MouseButton Button);
    void releaseConnectButton(Qt::MouseButton Button);
    // Draws the resting face of the connect button for a free or a taken line.
    void showConnectFace(bool lineFree);
    // The window comes forward, restored, above the others.
    void bringForward();

    // The settings panel that slides open beside the buttons on its alarm
    // page or its connection page.
    SettingsPanel& settingsPanel() const { return *m_settingsPanel; }
    // Skin buttons' press and release faces and sounds.
    void pressSkinButton(SkinImage* button, const ImageList& list);
    void releaseSkinButton(SkinImage* button, const ImageList& list);
    // Starts the extras after a connection.
    void launchExtras();

    // The alarm. "Clear Alarm Time" clears it here; the file keeps the old
    // alarm until the next save.
    AlarmClock& alarmClock() { return m_alarmClock; }

    // The extras: the window shows their names and lights and sends them the user's toggles.
    Extras& extras() { return m_extras; }

    // The middle panel: the information page and the extras' pages.
    MiddlePanel& middlePanel() const { return *m_middlePanel; }

    // The lights' off and on faces.
    const ImageList& lightFaces() const { return m_lightFaces; }

    // Minimizes the system's "Connected to" window once the line is up.
    const DialUpWindowMinimizer& dialUpWindowMinimizer() const { return m_dialUpWindowMinimizer; }

signals:
    // The panel takes the commands while it is open: the tray menu's Connect
    // item, and its items that open the panel, follow.
    void commandsEnabledChanged(bool enabled);
    void panelItemsEnabledChanged(bool enabled);
    // The window was shown or hidden (the tray menu's Hide/Show item follows).
    void shownChanged(bool shown);
    // A right click asks for the popup menu at this point of the screen.
    void menuRequested(const QPoint& where);
    // The extras button asks for the extras editor; the right account in the
    // connection page for the credits.
    void extrasEditorWanted();
    void creditsWanted();
    // The Exit button, and a close of this window, end the program.
    void exitWanted();

protected:
    void onClosed() override;
    void onWindowStateChanged() override;
    void onHidden() override;
    void onShown() override;
    void keyReleaseEvent(QKeyEvent* event) override;
    // The Menu key and Shift+F10 open the popup menu without a mouse.
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public:
    // The about picture over the middle panel; a click on it takes it away.
    void showAbout();
    void closeAbout();
    // The hidden quotation, its words shown one by one with its tune.
    void showQuotation();

    // The faces of the connect button while the line is free and while it is taken.
    const ImageList& connectFaces() const { return m_connectFaces; }
    const ImageList& disconnectFaces() const { return m_disconnectFaces; }
    const WindowTimer& quotationSteps() const { return m_quotationSteps; }

private:
    void buildPresentation();
    // The quotation's words and attribution, hidden until it runs.
    void buildQuotation();
    void buildControls();
    void buildSkin();
    // Off while the settings panel is open; the Exit button stays on.
    void setCommandsEnabled(bool enabled);
    void onExtrasLaunched();
    SettingsPanel* m_settingsPanel = nullptr;
    // The status line, the connect button and the window's coming forward follow the keeper.
    void showLineKeeper();
    // The line is up: the dial-up window is looked for.
    void onLineUp();
    MiddlePanel* m_middlePanel = nullptr;
    AlarmClock& m_alarmClock;
    Extras& m_extras;
    void stepQuotation();
    void onKeyUp(int key);

    ImageList m_lightFaces;
    ImageList m_connectFaces;
    ImageList m_alarmFaces;
    ImageList m_exitFaces;
    ImageList m_connectionFaces;
    ImageList m_extrasFaces;
    ImageList m_disconnectFaces;

    SkinImage* m_background = nullptr;
    SkinImage* m_connectButton = nullptr;  // Connect / Disconnect
    SkinImage* m_alarmButton = nullptr;    // Set Alarm
    SkinImage* m_exitButton = nullptr;
    SkinImage* m_connectionButton = nullptr;
    SkinImage* m_extrasButton = nullptr;
    QLabel* m_statusCaption = nullptr;  // "Status:"
    QLabel* m_statusLine = nullptr;
    // The quotation, its three closing words and its attribution.
    QLabel* m_quotation = nullptr;
    QLabel* m_healthyWord = nullptr;
    QLabel* m_wealthyWord = nullptr;
    QLabel* m_wiseWord = nullptr;
    QLabel* m_attribution = nullptr;
    // Keys V then S with the pointer resting on this 3 x 3 spot start the quotation.
    QLabel* m_quotationHotSpot = nullptr;
    QLabel* m_aboutHotSpot = nullptr;
    SkinImage* m_aboutPicture = nullptr;
    std::unique_ptr<MusicDevice> m_quotationTune;
    int m_lastKeyUp = 0;
    bool m_pointerOnHotSpot = false;
    int m_quotationStep = 0;

    WindowTimer m_quotationSteps;
    DialUpWindowMinimizer m_dialUpWindowMinimizer;

    LineKeeper& m_keeper;
    Settings& m_settings;
    EventLog& m_log;
    UserOptions& m_options;
    int m_outerWidth = 452;
    int m_outerHeight = 243;
};

}  // namespace obu
