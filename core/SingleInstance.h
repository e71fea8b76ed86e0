#pragma once
#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;

namespace obu {

// One running copy per program folder. A second start must not truncate the
// running copy's log or race it on obu.ini: it asks the running copy to bring
// its main window forward and ends. The lock file beside the program is taken
// over when the process that held it has died.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& programFolder);
    ~SingleInstance() override;

    enum class Claim { Acquired, HeldByAnother, FolderNotWritable };
    // Claims the folder for this process. A folder that cannot be written holds
    // no lock; the program then runs unguarded (it can write none of its files anyway).
    Claim acquire();
    // Asks the running copy to show itself; true when it answered.
    bool signalRunningCopy(int timeoutMs = 5000);
    // Starts listening for later starts; onActivate runs on each.
    void listen(std::function<void()> onActivate);

    QString serverName() const { return serverName_; }

private:
    QLockFile lock_;
    QString serverName_;
    std::unique_ptr<QLocalServer> server_;
    std::function<void()> onActivate_;
};

}  // namespace obu
