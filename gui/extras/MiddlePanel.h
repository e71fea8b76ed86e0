#pragma once
#include <QLabel>
#include <QObject>
#include <array>

#include "model/Extras.h"

namespace obu {

class AlarmClock;
class Form;
class ImageList;
class SkinImage;

// The middle panel of the main window: three pages stepped through with two
// arrows. The information page names the chosen connection and the alarm;
// the web pages' and the programs' pages hold a light and a name per extra.
// Its controls are children of the window, placed on its skin.
class MiddlePanel : public QObject {
    Q_OBJECT
public:
    // Makes the information page and the arrows; the lights show `lightFaces`.
    MiddlePanel(Form& window, Extras& extras, AlarmClock& alarmClock, const ImageList& lightFaces);

    // Makes the extras' pages, once.
    void buildExtrasPages();

    // The light and the name label of slot n (1..8).
    SkinImage* extraLight(int n) const;
    QLabel* extraNameLabel(int n) const;
    // Draws slot n's light as its flag says.
    void drawLight(int n);
    // The connection that the information page names.
    void showEntryName(const QString& entry);

    // The arrows page through the panel on their press; the release only
    // puts them back in place.
    void pressDownArrow();
    void releaseDownArrow();
    void pressUpArrow();
    void releaseUpArrow();
    // The arrows follow the window's commands: off while the settings panel is open.
    void setArrowsEnabled(bool enabled);

    // Hides every page; the arrows stay as they are.
    void hideContents();
    void hideArrows();
    // The information page and the down arrow come back over what hid them.
    void showInformationAgain();
    // The controls that page through the panel: the arrows and the first light.
    std::array<QWidget*, 3> pagingControls() const;

private:
    void showExtra(int n);
    void toggleExtra(int n);
    // The three pages; the page on show is told by the arrows' visibility.
    void showInformationPage();
    void showWebPagesPage();
    void showProgramsPage();

    Form& m_window;
    Extras& m_extras;
    const ImageList& m_lightFaces;
    QLabel* m_entryCaption = nullptr;  // "Current Connection Name:"
    QLabel* m_connectionName = nullptr;
    QLabel* m_alarmCaption = nullptr;  // "Alarm Set For:"
    QLabel* m_alarmTimeLabel = nullptr;
    QLabel* m_downArrow = nullptr;
    QLabel* m_upArrow = nullptr;
    QLabel* m_webPagesHeading = nullptr;  // "Toggle webpages on/off"
    QLabel* m_programsHeading = nullptr;  // "Toggle programs on/off"
    std::array<SkinImage*, Extras::kSlots> m_extraLights{};
    std::array<QLabel*, Extras::kSlots> m_extraNames{};
};

}  // namespace obu
