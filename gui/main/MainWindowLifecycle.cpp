// Start-up and shutdown of the main window.
#include "gui/main/MainWindow.h"

#include "gui/program/ProgramModel.h"
#include "gui/shell/SplashScreen.h"
#include "gui/skin/WindowPlacement.h"
#include "model/LineKeeper.h"
#include "model/StartAndExit.h"
#include "platform/Platform.h"

namespace obu {

void MainWindow::startUp() {
    Platform& p = platform();
    StartAndExit& life = program().startAndExit();
    life.startLog();

    handle([this, &p, &life] {
        program().application().helpFile = p.programFolder + QStringLiteral("help.hlp");
        setPosition(15, 15);
        m_quotation->move(208, 24);
        setOuterSize(452, 243);
        m_settingsPanel->clearCredentials();
        m_settingsPanel->showEntryList(m_keeper.readEntryList());
        m_connectButton->drawFace(m_connectFaces, 0);
        m_alarmButton->drawFace(m_alarmFaces, 0);
        m_exitButton->drawFace(m_exitFaces, 0);
        m_connectionButton->drawFace(m_connectionFaces, 0);
        m_extrasButton->drawFace(m_extrasFaces, 0);
        // The window's constructor makes the panel; made here too, the
        // lights exist whichever runs first.
        m_middlePanel->buildExtrasPages();
        for (int n = 1; n <= Extras::kSlots; ++n) m_middlePanel->drawLight(n);
        life.readSettings();
        if (!m_keeper.entryName().isEmpty()) m_middlePanel->showEntryName(m_keeper.entryName());
        placeAtStoredPosition(life.storedPosition());
        life.takeUpStoredState();
    });
    life.sayWhyNothingDials();
}

// Where the window was put back at start, unless it is off every screen now;
// where the compositor places windows, where it chooses.
void MainWindow::placeAtStoredPosition(const QPoint& stored) {
    if (compositorPlacesWindows()) return;
    const QRect window(stored, QSize(outerWidth(), outerHeight()));
    const QList<QRect> screens = screenAreas();
    if (screens.isEmpty() || mostlyOnScreen(window, screens)) setPosition(stored.x(), stored.y());
}

// A compositor that places windows tells nothing of where: the stored
// position is kept for the next start under X11.
QPoint MainWindow::positionToSave() const {
    if (compositorPlacesWindows()) return program().startAndExit().storedPosition();
    return {x(), y()};
}

void MainWindow::shutDown() {
    m_quotationSteps.setEnabled(false);
    m_dialUpWindowMinimizer.stop();
    program().startAndExit().shutDown(positionToSave());
}

void MainWindow::saveSettings() {
    program().startAndExit().saveSettings(positionToSave());
}

void MainWindow::onClosed() {
    emit exitWanted();
}

}  // namespace obu
