#pragma once
#include <QObject>
#include <QStringList>
#include <memory>

class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QTimeEdit;

namespace obu {

class Form;
class ImageList;
class SkinImage;
class WindowTimer;

// The window the settings panel slides out of, measured by its outer width.
class PanelHost {
public:
    virtual int outerWidth() const = 0;
    virtual void setOuterWidth(int outerWidth) = 0;

protected:
    ~PanelHost() = default;
};

// The settings panel that slides open beside the main window's buttons, a
// pixel a millisecond, on one of its two pages: the alarm page (the time and
// date of the alarm and its daily switch) or the connection page (the
// entries, the user name and the password). OK stores the page, Cancel
// leaves everything as it was. Its controls are children of the window.
class SettingsPanel : public QObject {
    Q_OBJECT
public:
    // The Make Daily switch shows `lightFaces`.
    SettingsPanel(Form& window, PanelHost& host, const ImageList& lightFaces);
    ~SettingsPanel() override;

    // Opens on the alarm page; without a chosen connection the connection
    // page opens instead, once the user is told.
    void openAlarmPage();
    void openConnectionPage();
    // Fills the connection page's entry list, keeping the entry selected.
    void showEntryList(const QStringList& entries);
    void clearCredentials();
    // Whether `focus` is one of the panel's boxes, which keep the keys typed into them.
    bool holdsFocus(const QWidget* focus) const;

signals:
    // The window's commands are off while the panel is open.
    void commandsEnabledChanged(bool enabled);
    // The tray menu's items that open the panel are off while it slides and is open.
    void panelItemsEnabledChanged(bool enabled);
    // An entry was chosen with its user name and password.
    void entryChosen(const QString& entry);
    // The right account in the connection page asks for the credits.
    void creditsWanted();

private:
    void buildConnectionPage();
    void buildAlarmPage();
    void buildButtons();
    // One pixel wider per step until it is open, then its page's controls.
    void slideStep();
    void showPage();
    // OK stores the alarm, or the chosen entry with its user name and password.
    void accept();
    void acceptAlarm();
    void acceptEntry();
    void close();
    // A stored entry brings back its own user name and password.
    void fillInEntryCredentials();
    void toggleMakeDaily();

    Form& m_window;
    PanelHost& m_host;
    const ImageList& m_lightFaces;
    bool m_showsAlarm = false;
    std::unique_ptr<WindowTimer> m_slideTimer;
    QListWidget* m_entryList = nullptr;
    QLineEdit* m_userNameEdit = nullptr;
    QLineEdit* m_passwordEdit = nullptr;
    SkinImage* m_alarmPagePicture = nullptr;
    QTimeEdit* m_alarmTimeEdit = nullptr;
    QDateEdit* m_alarmDateEdit = nullptr;
    SkinImage* m_makeDailySwitch = nullptr;
    QLabel* m_makeDailyLabel = nullptr;
    SkinImage* m_connectionPagePicture = nullptr;
    SkinImage* m_okButton = nullptr;
    SkinImage* m_cancelButton = nullptr;
};

}  // namespace obu
