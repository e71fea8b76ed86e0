#pragma once
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <optional>

#include "dialup/DialUpService.h"
#include "dialup/networkmanager/NetworkManagerClient.h"

namespace obu {

// NetworkManager's profiles as entries of the dial-up service: dial activates
// a profile, hang up deactivates it, and its active connections are the
// calls. Everything it reports comes from NetworkManager's signals.
//
// The entries are the profiles of the kinds a user dials (mobile broadband,
// PPPoE, Bluetooth, VPN and WireGuard), or every profile but the loopback
// when OBU_NM_ALL_PROFILES=1; the calls are the active connections of the
// entries. A profile's call id is the same in every process (NetworkManager
// keeps one connection of a profile at a time): the high bit and a number of
// the profile's uuid, so it is known as soon as the dial starts and never
// meets a phone-book call's id. Without a system bus or without
// NetworkManager there are no entries and no calls, and nothing is said.
class NetworkManagerService : public DialUpService {
    Q_OBJECT
public:
    // The source's name in entry listings.
    static const QString kSource;
    // Ids of this source have this bit set; the phone book's never do.
    static constexpr CallId kIdBit = 0x80000000u;

    // allProfiles: every profile is an entry, not only the dialled kinds.
    explicit NetworkManagerService(bool allProfiles = wantsAllProfiles(),
                                   QObject* parent = nullptr);
    NetworkManagerService(NetworkManagerClient* client, bool allProfiles,
                          QObject* parent = nullptr);
    ~NetworkManagerService() override;

    // OBU_NM_ALL_PROFILES=1 in the environment.
    static bool wantsAllProfiles();
    // Whether a profile of this type is an entry when not every profile is.
    static bool dialledType(const QString& type);

    DialUpError entries(const QString& phoneBook, QList<EntryInfo>* out) override;
    // The call as an object, beside the number alone.
    using DialUpService::dial;
    DialUpError dial(const DialRequest& request, CallId* id) override;
    DialUpError hangUp(CallId id) override;
    DialUpError calls(QList<CallInfo>* out) override;
    DialUpError callStatus(CallId id, CallInfo* out) override;
    QString errorText(DialUpError code) const override;
    QString failureDetail(CallId id) override;
    void forget(CallId id) override;
    bool sourcesReady() const override;

    // NetworkManager's profiles and connections have been read, or there is
    // no NetworkManager: what the service lists is what there is.
    bool isSettled() const { return m_client->isSettled(); }
    // The error a NetworkManager failure stands for.
    static DialUpError errorOf(NmFailure failure);

signals:
    // Once, when isSettled() turns true.
    void settled();

private:
    struct Call {
        CallInfo info;
        QString profileId;         // NetworkManager's id of the profile (the entry's name)
        QString activePath;        // its active connection, once reported
        QString detail;            // what NetworkManager said of a failure
        quint64 order = 0;         // calls are listed oldest first
        bool dialledHere = false;  // its stages go to callStateChanged until it ends
        bool hangingUp = false;    // this process asked for its end: no longer listed
        bool activeSeen = false;   // NetworkManager has reported its connection
    };

    void onActiveConnectionChanged(const NmActiveConnection& connection);
    // A connection already told as dropped, or hung up here: its reports
    // only close it (true: nothing more to do with this one).
    bool closesToldConnection(CallId id, const NmActiveConnection& connection);
    // The call that the connection belongs to, made when it is another
    // program's connection of an entry; m_calls.end() when none.
    QHash<CallId, Call>::iterator callFor(CallId id, const NmActiveConnection& connection);
    QHash<CallId, Call>::iterator adoptConnection(CallId id, const NmActiveConnection& connection);
    // The call's stage or end for the connection's new state.
    void applyState(CallId id, const NmActiveConnection& connection);
    // NetworkManager's reason for a connection's end, in words, with its numbers.
    static QString reasonOf(const NmActiveConnection& connection);
    void onActivationFailed(const QString& profileId, NmFailure failure, const QString& message);
    void onProfilesChanged();
    bool isEntry(const NmProfile& profile) const;
    bool isEntryType(const QString& type) const;
    std::optional<NmProfile> profileNamed(const QString& name) const;
    CallId idOf(const QString& uuid) const;
    void reassignIds();
    // Moves a call to its new stage and tells its dialler.
    void advance(CallId id, CallState state);
    // Ends a call: failed (its stage with the error), dropped, or hung up.
    void end(CallId id, DialUpError error, const QString& detail);

    // What the signals tell, in order, through the event loop: never from
    // inside a call of the service, and a call's stages stop at its hang-up.
    struct Note {
        enum Kind { Stage, Ended, Changed, SourcesChanged } kind;
        CallId id = 0;
        CallState state = CallState::OpenPort;
        DialUpError error = dialup_error::None;
    };
    void tell(const Note& note);
    void deliver();

    NetworkManagerClient* m_client;
    bool m_allProfiles;
    QHash<CallId, Call> m_calls;   // not ended
    QHash<CallId, Call> m_ended;   // ended with an error, until hung up or dialled again
    QHash<QString, CallId> m_ids;  // profile uuid → call id
    QSet<QString> m_retired;       // active connections hung up here, until they end
    QSet<QString> m_dropped;       // active connections told as dropped, until they end
    quint64 m_nextOrder = 0;
    QList<Note> m_outbox;
    bool m_deliveryPosted = false;
};

}  // namespace obu
