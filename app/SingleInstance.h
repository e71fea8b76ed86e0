#pragma once
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>

#include "app/InstanceSocket.h"

class QSocketNotifier;

namespace obu {

// One running copy per set of files. A second start must not truncate the
// running copy's log or race it on obu.ini: it asks the running copy to bring
// its main window forward and ends. The lock file (obu.lock beside the log) is
// taken over when the process that held it has died.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // folder: where obu.lock is made, with a trailing '/'.
    explicit SingleInstance(const QString& folder);
    ~SingleInstance() override;

    enum class Claim { Acquired, HeldByAnother, Unguarded };
    // Claims the folder for this process. Only a lock held by a live process is
    // another copy; when no lock can be made or read for any other reason (a
    // read-only or full disk, a damaged lock file) the program runs unguarded,
    // and unguardedReason() says why.
    Claim acquire();
    QString unguardedReason() const { return m_unguardedReason; }
    QString lockPath() const { return m_lockPath; }
    // Asks the running copy to show itself; true once it has answered that it
    // did. Else signalProblem() says why.
    bool signalRunningCopy(int timeoutMs = 5000);
    QString signalProblem() const { return m_socket.problem(); }
    // Starts listening for later starts; onActivate runs on each. False when
    // no socket can be had (listenProblem() says why): the copy runs, but a
    // later start cannot bring it forward.
    bool listen(std::function<void()> onActivate);
    QString listenProblem() const { return m_socket.problem(); }

private:
    QString m_lockPath;
    int m_lockFd = -1;  // the locked obu.lock while this copy holds it
    QString m_unguardedReason;
    // A plain Unix socket: it needs nothing beyond QtCore, so the program maps
    // no network libraries.
    InstanceSocket m_socket;
    int m_serverFd = -1;
    QSocketNotifier* m_server = nullptr;
    std::map<int, QSocketNotifier*> m_callers;
    std::function<void()> m_onActivate;

    Claim holdLock(int fd);
    void acceptCallers();
    void answer(int fd);
    void hangUp(int fd);
};

}  // namespace obu
