// Start-up and shutdown of the main window.
#include "gui/main/MainWindow.h"

#include "gui/program/ProgramModel.h"
#include "gui/shell/SplashScreen.h"
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
        const QPoint stored = life.storedPosition();
        setPosition(stored.x(), stored.y());
        life.takeUpStoredState();
    });
    life.sayWhyNothingDials();
}

void MainWindow::shutDown() {
    m_quotationSteps.setEnabled(false);
    m_dialUpWindowMinimizer.stop();
    program().startAndExit().shutDown({x(), y()});
}

void MainWindow::saveSettings() {
    program().startAndExit().saveSettings({x(), y()});
}

void MainWindow::onClosed() {
    emit exitWanted();
}

}  // namespace obu
