#pragma once
#include <QObject>
#include <functional>

namespace obu {

class LineKeeper;
class Notifications;

// Tells the desktop what happens to the kept line while the user is not
// looking at the program: a drop, the reconnect that follows, a failed dial
// and the disconnect warning. Made before the windows follow the keeper, so
// the window is still as the user left it when the keeper speaks. A drop or
// a warning told is followed to its end (the line up again, or the session
// over) even after it has brought the window forward: the user was away.
class LineNotices : public QObject {
    Q_OBJECT
public:
    // windowAway: the main window is hidden or minimized now.
    LineNotices(LineKeeper& keeper, Notifications& notifications, std::function<bool()> windowAway);

private:
    // A drop or a warning: told while the window is away.
    void tellNews(const QString& summary, const QString& body);
    // What came of it: told while the window is away, or when the news was told.
    void tellSequel(const QString& summary, const QString& body);

    LineKeeper& m_keeper;
    Notifications& m_notifications;
    std::function<bool()> m_windowAway;
    bool m_followingNews = false;
};

}  // namespace obu
