#pragma once
#include <QByteArray>
#include <QString>

namespace obu {

// Where the running copy of a set of files listens for later starts, and how a
// later start reaches it. The socket must be one that no other user can make,
// connect to or lay in its place, so it lives in the user's runtime folder
// ($XDG_RUNTIME_DIR) when that is a folder of the user's own that no one else
// may enter; else in a folder of its own in the temporary folder ($TMPDIR, else
// /tmp), made 0700 and used only while it is still the user's own and closed to
// everyone else. key tells the sets of files apart (a hash of their folder).
class InstanceSocket {
public:
    explicit InstanceSocket(QByteArray key) : m_key(std::move(key)) {}

    // The socket in the runtime folder; empty when that folder is missing or
    // not private.
    QByteArray inRuntimeFolder() const;
    // The private folder in the temporary folder, and the socket in it.
    QByteArray privateFolder() const;
    QByteArray inPrivateFolder() const { return privateFolder() + "/socket"; }

    // For the copy that holds the lock: removes what a copy of the same files
    // that has gone left behind (its socket, its private folder), then makes a
    // listening socket. Returns the socket's descriptor, or -1 with problem()
    // saying why. path() is where it listens.
    int listen();
    // Removes the socket and the private folder of a copy that ends.
    void remove() const;
    // For a later start: asks the running copy to show itself and waits for its
    // "ok". False with problem() saying why when no copy answered in time.
    bool askToShow(int timeoutMs);

    const QByteArray& path() const { return m_path; }
    const QString& problem() const { return m_problem; }

    // Why a folder is not a private one of this user (a link, another owner,
    // open to others), or empty when it is.
    static QString whyNotPrivate(const QByteArray& folder);

private:
    int bindAt(const QByteArray& path);
    // One try at each place a running copy may listen; 1 answered, 0 no
    // answer yet, -1 no use trying again.
    int tryOnce(int timeoutMs);

    QByteArray m_key;
    QByteArray m_path;
    QString m_problem;
};

}  // namespace obu
