#pragma once
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QVariantList>

#include "platform/SecretStore.h"

namespace obu {

// The keyring of the desktop session through the Secret Service on the
// session bus (org.freedesktop.secrets: GNOME Keyring, KWallet, KeePassXC).
// Each entry's secret is one item of the default collection, found by the
// attributes application=obu-linekeeper and entry=NAME. The secret travels
// unencrypted ("plain"): the bus is the user's own and local.
//
// Every call waits a few seconds at most; a service that did not answer in
// time is not asked again during this run. A locked or missing collection is
// unlocked or made through the service's prompt only where one can be shown;
// otherwise the call fails and says so.
class SecretService : public SecretStore {
public:
    struct Options {
        bool canPrompt = false;        // a desktop is there to show the service's prompt
        int callTimeoutMs = 3000;      // for each call
        int promptTimeoutMs = 120000;  // for the user to answer a prompt
    };

    explicit SecretService(const Options& options);
    ~SecretService() override;
    SecretService(const SecretService&) = delete;
    SecretService& operator=(const SecretService&) = delete;

    Found find(const QString& entry, QString& secret, QString& why) override;
    bool store(const QString& entry, const QString& secret, QString& why) override;
    bool remove(const QString& entry, QString& why) override;

    static constexpr const char* kApplication = "obu-linekeeper";

private:
    bool call(const QString& path, const char* interface, const char* method,
              const QVariantList& args, QVariantList& out, QString& why);
    bool openSession(QString& why);
    bool defaultCollection(QDBusObjectPath& collection, QString& why);
    bool unlocked(const QDBusObjectPath& object, QString& why);
    bool prompt(const QDBusObjectPath& prompt, QVariant& result, QString& why);
    // The entry's items, those unlocked and those locked.
    bool search(const QString& entry, QList<QDBusObjectPath>& open, QList<QDBusObjectPath>& locked,
                QString& why);

    QDBusConnection m_bus;
    Options m_options;
    QDBusObjectPath m_session;
    QString m_unanswered;  // why the service is not asked again
};

}  // namespace obu
