#include "platform/SecretService.h"

#include "platform/SecretServicePrompt.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QMap>
#include <QThread>
#include <future>

namespace obu {
namespace {

const QString kService = QStringLiteral("org.freedesktop.secrets");
const QString kServicePath = QStringLiteral("/org/freedesktop/secrets");
constexpr const char* kServiceInterface = "org.freedesktop.Secret.Service";
constexpr const char* kCollectionInterface = "org.freedesktop.Secret.Collection";
constexpr const char* kItemInterface = "org.freedesktop.Secret.Item";
constexpr const char* kPromptInterface = "org.freedesktop.Secret.Prompt";
constexpr const char* kSessionInterface = "org.freedesktop.Secret.Session";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";

using StringMap = QMap<QString, QString>;

}  // namespace

namespace wire {

// What the service keeps of a secret: the session it travels in, the
// algorithm's parameters (none for "plain"), the value and its type.
struct Secret {
    QDBusObjectPath session;
    QByteArray parameters;
    QByteArray value;
    QString contentType;
};

QDBusArgument& operator<<(QDBusArgument& argument, const Secret& secret) {
    argument.beginStructure();
    argument << secret.session << secret.parameters << secret.value << secret.contentType;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, Secret& secret) {
    argument.beginStructure();
    argument >> secret.session >> secret.parameters >> secret.value >> secret.contentType;
    argument.endStructure();
    return argument;
}

}  // namespace wire
}  // namespace obu

Q_DECLARE_METATYPE(obu::wire::Secret)

namespace obu {
namespace {

using wire::Secret;

void registerTypes() {
    static const bool once = [] {
        qDBusRegisterMetaType<Secret>();
        qDBusRegisterMetaType<StringMap>();
        return true;
    }();
    (void)once;
}

bool isNone(const QDBusObjectPath& path) {
    return path.path().isEmpty() || path.path() == QLatin1String("/");
}

StringMap attributesOf(const QString& entry) {
    return {{QStringLiteral("application"), QString::fromLatin1(SecretService::kApplication)},
            {QStringLiteral("entry"), entry}};
}

template <typename T>
T argumentAs(const QVariant& value) {
    if (value.canConvert<QDBusArgument>()) return qdbus_cast<T>(value.value<QDBusArgument>());
    return value.value<T>();
}

}  // namespace

SecretService::SecretService(const Options& options)
    : m_bus(QDBusConnection::sessionBus()), m_options(options) {
    registerTypes();
}

SecretService::~SecretService() {
    if (isNone(m_session) || !m_unanswered.isEmpty()) return;
    QVariantList out;
    QString why;
    call(m_session.path(), kSessionInterface, "Close", {}, out, why);
}

bool SecretService::call(const QString& path, const char* interface, const char* method,
                         const QVariantList& args, QVariantList& out, QString& why) {
    if (!m_unanswered.isEmpty()) {
        why = m_unanswered;
        return false;
    }
    if (!m_bus.isConnected()) {
        why = QStringLiteral("no session bus (%1)").arg(m_bus.lastError().message());
        return false;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(
        kService, path, QString::fromLatin1(interface), QString::fromLatin1(method));
    message.setArguments(args);
    const QDBusMessage reply = m_bus.call(message, QDBus::Block, m_options.callTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        out = reply.arguments();
        return true;
    }
    const QString name = reply.errorName();
    if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        why = QStringLiteral("no Secret Service runs on the session bus");
    else
        why = QStringLiteral("the Secret Service refused %1: %2")
                  .arg(QString::fromLatin1(method), reply.errorMessage());
    if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
        name == QLatin1String("org.freedesktop.DBus.Error.Timeout")) {
        why = QStringLiteral("the Secret Service did not answer within %1 s")
                  .arg(m_options.callTimeoutMs / 1000.0);
        m_unanswered = why;
    }
    return false;
}

bool SecretService::openSession(QString& why) {
    if (!isNone(m_session)) return true;
    QVariantList out;
    if (!call(kServicePath, kServiceInterface, "OpenSession",
              {QStringLiteral("plain"), QVariant::fromValue(QDBusVariant(QString()))}, out, why))
        return false;
    if (out.size() < 2) {
        why = QStringLiteral("the Secret Service opened no session");
        return false;
    }
    m_session = out[1].value<QDBusObjectPath>();
    return true;
}

bool SecretService::prompt(const QDBusObjectPath& path, QVariant& result, QString& why) {
    if (!m_options.canPrompt) {
        why = QStringLiteral(
            "the keyring is locked and no desktop is there to ask for its "
            "password");
        return false;
    }
    QThread thread;
    PromptListener listener;
    listener.moveToThread(&thread);
    thread.start();
    auto answer = listener.answer.get_future();
    // A connection of its own: the shared one may not deliver signals before
    // the program's event loop has run, and this waits without running it.
    QDBusConnection listening = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                              QStringLiteral("obu-keyring-prompt"));
    const bool heard = listening.connect(
        kService, path.path(), QString::fromLatin1(kPromptInterface), QStringLiteral("Completed"),
        &listener, SLOT(completed(bool, QDBusVariant)));
    QVariantList out;
    bool done = heard && call(path.path(), kPromptInterface, "Prompt", {QString()}, out, why);
    if (done && answer.wait_for(std::chrono::milliseconds(m_options.promptTimeoutMs)) !=
                    std::future_status::ready) {
        why = QStringLiteral("the keyring's prompt was not answered");
        QVariantList ignored;
        QString dismissWhy;
        call(path.path(), kPromptInterface, "Dismiss", {}, ignored, dismissWhy);
        done = false;
    }
    listening.disconnect(kService, path.path(), QString::fromLatin1(kPromptInterface),
                         QStringLiteral("Completed"), &listener,
                         SLOT(completed(bool, QDBusVariant)));
    thread.quit();
    thread.wait();
    if (!heard) why = QStringLiteral("the keyring's prompt cannot be followed on the bus");
    if (!done) return false;
    const auto [dismissed, value] = answer.get();
    if (dismissed) {
        why = QStringLiteral("the keyring's prompt was dismissed");
        return false;
    }
    result = value;
    return true;
}

bool SecretService::unlocked(const QDBusObjectPath& object, QString& why) {
    QVariantList out;
    if (!call(kServicePath, kServiceInterface, "Unlock",
              {QVariant::fromValue(QList<QDBusObjectPath>{object})}, out, why))
        return false;
    if (out.size() < 2) {
        why = QStringLiteral("the Secret Service did not unlock the keyring");
        return false;
    }
    if (argumentAs<QList<QDBusObjectPath>>(out[0]).contains(object)) return true;
    const auto promptPath = out[1].value<QDBusObjectPath>();
    QVariant result;
    if (isNone(promptPath) || !prompt(promptPath, result, why)) {
        if (why.isEmpty()) why = QStringLiteral("the keyring stays locked");
        return false;
    }
    if (argumentAs<QList<QDBusObjectPath>>(result).contains(object)) return true;
    why = QStringLiteral("the keyring stays locked");
    return false;
}

bool SecretService::defaultCollection(QDBusObjectPath& collection, QString& why) {
    QVariantList out;
    if (!call(kServicePath, kServiceInterface, "ReadAlias", {QStringLiteral("default")}, out, why))
        return false;
    collection = out.value(0).value<QDBusObjectPath>();
    if (isNone(collection)) {
        const QVariantMap properties{{QStringLiteral("org.freedesktop.Secret.Collection.Label"),
                                      QStringLiteral("Default keyring")}};
        if (!call(kServicePath, kServiceInterface, "CreateCollection",
                  {properties, QStringLiteral("default")}, out, why))
            return false;
        collection = out.value(0).value<QDBusObjectPath>();
        QVariant made;
        if (isNone(collection)) {
            if (!prompt(out.value(1).value<QDBusObjectPath>(), made, why)) return false;
            collection = argumentAs<QDBusObjectPath>(made);
        }
        if (isNone(collection)) {
            why = QStringLiteral("the Secret Service made no default keyring");
            return false;
        }
    }
    if (!call(collection.path(), kProperties, "Get",
              {QString::fromLatin1(kCollectionInterface), QStringLiteral("Locked")}, out, why))
        return false;
    const bool locked = out.value(0).value<QDBusVariant>().variant().toBool();
    return !locked || unlocked(collection, why);
}

bool SecretService::search(const QString& entry, QList<QDBusObjectPath>& open,
                           QList<QDBusObjectPath>& locked, QString& why) {
    QVariantList out;
    if (!call(kServicePath, kServiceInterface, "SearchItems",
              {QVariant::fromValue(attributesOf(entry))}, out, why))
        return false;
    open = argumentAs<QList<QDBusObjectPath>>(out.value(0));
    locked = argumentAs<QList<QDBusObjectPath>>(out.value(1));
    return true;
}

SecretStore::Found SecretService::find(const QString& entry, QString& secret, QString& why) {
    QList<QDBusObjectPath> open, locked;
    if (!openSession(why) || !search(entry, open, locked, why)) return Found::Failed;
    if (open.isEmpty() && !locked.isEmpty()) {
        if (!unlocked(locked.first(), why)) return Found::Failed;
        open = {locked.first()};
    }
    if (open.isEmpty()) return Found::No;
    QVariantList out;
    if (!call(open.first().path(), kItemInterface, "GetSecret", {QVariant::fromValue(m_session)},
              out, why))
        return Found::Failed;
    secret = QString::fromUtf8(argumentAs<Secret>(out.value(0)).value);
    return Found::Yes;
}

bool SecretService::store(const QString& entry, const QString& secret, QString& why) {
    QDBusObjectPath collection;
    if (!openSession(why) || !defaultCollection(collection, why)) return false;
    const QVariantMap properties{{QStringLiteral("org.freedesktop.Secret.Item.Label"),
                                  QStringLiteral("Obu Linekeeper: ") + entry},
                                 {QStringLiteral("org.freedesktop.Secret.Item.Attributes"),
                                  QVariant::fromValue(attributesOf(entry))}};
    const Secret value{m_session, {}, secret.toUtf8(), QStringLiteral("text/plain; charset=utf8")};
    QVariantList out;
    if (!call(collection.path(), kCollectionInterface, "CreateItem",
              {properties, QVariant::fromValue(value), true}, out, why))
        return false;
    QVariant made;
    if (isNone(out.value(0).value<QDBusObjectPath>()) &&
        !prompt(out.value(1).value<QDBusObjectPath>(), made, why))
        return false;
    return true;
}

bool SecretService::remove(const QString& entry, QString& why) {
    QList<QDBusObjectPath> open, locked;
    if (!search(entry, open, locked, why)) return false;
    for (const QDBusObjectPath& item : locked)
        if (!unlocked(item, why)) return false;
    for (const QDBusObjectPath& item : open + locked) {
        QVariantList out;
        if (!call(item.path(), kItemInterface, "Delete", {}, out, why)) return false;
        QVariant ignored;
        const auto promptPath = out.value(0).value<QDBusObjectPath>();
        if (!isNone(promptPath) && !prompt(promptPath, ignored, why)) return false;
    }
    return true;
}

}  // namespace obu
