#pragma once
#include <QObject>
#include <QString>
#include <array>
#include <deque>
#include <memory>

namespace obu {

class EventLog;
class Settings;
class WindowTimer;
struct Platform;

// The extras: four web pages (slots 1-4) and four programs (slots 5-8), each
// with a name, an address or file, and a light that says whether it is
// started after a connection. They are read from the settings at start, the
// editor changes them row by row and stores them at once, and the lights
// reach the file with the other settings at exit.
class Extras : public QObject {
    Q_OBJECT
public:
    static constexpr int kSlots = 8;

    struct Slot {
        QString name;  // display name, at most 255 characters
        QString path;  // address or program file, at most 255 characters
        bool set = false;
        // The stored path was longer than its field holds: what is left of it
        // would open something else, so it is not started.
        bool pathCut = false;
    };
    // Indexed 1..8 like the settings keys; element 0 is unused.
    using Slots = std::array<Slot, kSlots + 1>;

    // What the editor's OK does with one row, given the row's texts.
    enum class RowChange {
        Clear,  // nothing to open: the slot is emptied and its light switched off
        Keep,   // the same name and path as stored: the slot and its light stay as they are
        Store,  // new texts: stored, and the light switched on
    };

    // The browser gets this long to come up before each page is handed to it.
    static constexpr int kPageSpacingMs = 3000;

    explicit Extras(Platform& platform, QObject* parent = nullptr);
    ~Extras() override;

    static bool isWebPage(int n) { return n >= 1 && n <= 4; }
    // What the editor shows in a name edit whose slot has no name.
    static QString unsetName(int n);

    const Slot& slot(int n) const { return m_slots[n]; }
    bool isOn(int n) const { return m_on[n]; }

    // Reads the slots and the saved lights; only a slot with something to
    // start takes its light. The settings are kept for the editor's stores.
    void load(Settings& settings);
    // The slots as the file holds them now, texts whole, for the editor to
    // show; the table takes them cut to their fields. The lights stay as they are.
    Slots reread();
    RowChange rowChange(int n, const QString& name, const QString& path) const;
    // The editor's OK: each row cleared, kept or stored, then every slot
    // written to the file.
    void applyRows(const std::array<QString, kSlots + 1>& names,
                   const std::array<QString, kSlots + 1>& paths);
    void toggle(int n);

    // Starts the web pages in the default browser, then the programs, in slot
    // order, each whose light is on; every start or failure is logged. Each
    // page waits kPageSpacingMs on the loop's timer, the program going on
    // meanwhile; the programs follow the last page at once. What starts is
    // what was set and lit when the launch begins; one asked for while
    // another runs begins when that one ends. launched() says when a launch
    // has started every extra.
    void launch(EventLog& log);
    bool isLaunching() const { return m_run != nullptr; }

signals:
    // Slot n's name or path changed, or it was cleared.
    void slotChanged(int n);
    void lightChanged(int n, bool on);
    // What is being started, for the status line; shown before the start.
    void launching(const QString& text);
    // A launch has started everything it had to; at once when no page waits.
    void launched();

private:
    // One launch under way: what it still has to start.
    struct Run {
        EventLog* log;
        std::deque<Slot> pages;
        std::deque<Slot> programs;
    };

    void setOn(int n, bool on);
    void beginRun(EventLog& log);
    void startNextPage();
    void finishRun();
    void launchPage(const Slot& slot, EventLog& log);
    void launchProgram(const Slot& slot, EventLog& log);

    Platform& m_platform;
    Settings* m_settings = nullptr;
    Slots m_slots;
    std::array<bool, kSlots + 1> m_on{};
    std::unique_ptr<Run> m_run;
    std::unique_ptr<WindowTimer> m_pageSpacing;
    // The logs of launches asked for while one ran.
    std::deque<EventLog*> m_waitingLaunches;
};

}  // namespace obu
