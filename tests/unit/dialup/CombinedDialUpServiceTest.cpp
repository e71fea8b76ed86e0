#include <gtest/gtest.h>

#include <QSignalSpy>
#include <map>

#include "dialup/CombinedDialUpService.h"

namespace obu {
namespace {

// A source with fixed entries and calls, numbering its own with a given base
// and recording what it was asked.
class FakeSource : public DialUpService {
public:
    FakeSource(QString source, CallId base, QStringList names)
        : m_source(std::move(source)), m_next(base), m_names(std::move(names)) {}

    DialUpError entries(const QString&, QList<EntryInfo>* out) override {
        if (broken) return dialup_error::CannotOpenPhoneBook;
        out->clear();
        for (const QString& name : m_names) out->append({name, m_source});
        return dialup_error::None;
    }
    DialUpError dial(const DialRequest& request, CallId* id) override {
        if (broken) return dialup_error::CannotOpenPhoneBook;
        if (!m_names.contains(request.entry, Qt::CaseInsensitive))
            return dialup_error::CannotFindEntry;
        *id = m_next++;
        CallInfo& call = m_calls[*id];
        call.id = *id;
        call.entry = request.entry;
        call.deviceType = m_source;
        return dialup_error::None;
    }
    DialUpError hangUp(CallId id) override {
        asked << QStringLiteral("hangUp %1").arg(id, 0, 16);
        return m_calls.erase(id) ? dialup_error::None : dialup_error::InvalidCall;
    }
    DialUpError calls(QList<CallInfo>* out) override {
        for (const auto& [id, call] : m_calls) out->append(call);
        return dialup_error::None;
    }
    DialUpError callStatus(CallId id, CallInfo* out) override {
        const auto it = m_calls.find(id);
        if (it == m_calls.end()) return dialup_error::InvalidCall;
        *out = it->second;
        return dialup_error::None;
    }
    QString errorText(DialUpError code) const override {
        return code == dialup_error::LineBusy || code == ownCode
                   ? m_source + QStringLiteral(" text")
                   : QString();
    }
    void tellEnd(CallId id) { emit callEnded(id, dialup_error::RemoteDisconnection); }
    void tellFailure(CallId id, DialUpError error) {
        emit callStateChanged(id, CallState::ConnectDevice, error);
    }

    void setNames(QStringList names) { m_names = std::move(names); }

    bool broken = false;
    DialUpError ownCode = 0;
    QStringList asked;

private:
    QString m_source;
    CallId m_next;
    QStringList m_names;
    std::map<CallId, CallInfo> m_calls;
};

DialRequest to(const char* entry) {
    DialRequest request;
    request.entry = QString::fromLatin1(entry);
    return request;
}

struct Combined : ::testing::Test {
    FakeSource book{QStringLiteral("phone book"),
                    0x100,
                    {QStringLiteral("Demo ISP"), QStringLiteral("Office")}};
    FakeSource nm{QStringLiteral("NetworkManager"),
                  0x80000010,
                  {QStringLiteral("Mobile"), QStringLiteral("office"), QStringLiteral("VPN")}};
    CombinedDialUpService service{book, nm};

    QStringList listed() {
        QList<EntryInfo> entries;
        service.entries({}, &entries);
        QStringList result;
        for (const EntryInfo& e : entries) result << e.name + QStringLiteral(" (") + e.source + ')';
        return result;
    }
};

TEST_F(Combined, ListsBothSourcesAndThePhoneBookWinsAClashSaidOnce) {
    QSignalSpy hidden(&service, &CombinedDialUpService::entryHidden);
    const QStringList expected = {"Demo ISP (phone book)", "Office (phone book)",
                                  "Mobile (NetworkManager)", "VPN (NetworkManager)"};
    EXPECT_EQ(listed(), expected);
    EXPECT_EQ(listed(), expected);
    ASSERT_EQ(hidden.count(), 1);
    EXPECT_EQ(hidden[0][0].toString(), "office");
    EXPECT_EQ(hidden[0][1].toString(), "NetworkManager");

    // A phone book that cannot be read: its error, and the other entries still.
    book.broken = true;
    QList<EntryInfo> entries;
    EXPECT_EQ(service.entries({}, &entries), dialup_error::CannotOpenPhoneBook);
    EXPECT_EQ(entries.size(), 3);
}

TEST_F(Combined, DialsWhereTheEntryIsAndHangsUpWhereTheIdBelongs) {
    CallId office = 0, mobile = 0, none = 0;
    ASSERT_EQ(service.dial(to("OFFICE"), &office), dialup_error::None);
    ASSERT_EQ(service.dial(to("Mobile"), &mobile), dialup_error::None);
    EXPECT_EQ(office, 0x100u);
    EXPECT_EQ(mobile, 0x80000010u);
    EXPECT_EQ(service.dial(to("Nowhere"), &none), dialup_error::CannotFindEntry);

    QList<CallInfo> calls;
    EXPECT_EQ(service.calls(&calls), dialup_error::None);
    ASSERT_EQ(calls.size(), 2);
    CallInfo status;
    ASSERT_EQ(service.callStatus(mobile, &status), dialup_error::None);
    EXPECT_EQ(status.deviceType, "NetworkManager");

    EXPECT_EQ(service.hangUp(mobile), dialup_error::None);
    EXPECT_EQ(service.hangUp(office), dialup_error::None);
    EXPECT_EQ(nm.asked, QStringList{"hangUp 80000010"});
    EXPECT_EQ(book.asked, QStringList{"hangUp 100"});
    EXPECT_EQ(service.hangUp(mobile), dialup_error::InvalidCall);

    // Without a phone book to read, a NetworkManager entry still dials.
    book.broken = true;
    EXPECT_EQ(service.dial(to("VPN"), &none), dialup_error::None);
    EXPECT_EQ(service.dial(to("Demo ISP"), &none), dialup_error::CannotOpenPhoneBook);
}

TEST_F(Combined, ForwardsTheSourcesSignalsAndTexts) {
    QSignalSpy ended(&service, &DialUpService::callEnded);
    nm.tellEnd(0x80000010);
    book.tellEnd(0x100);
    ASSERT_EQ(ended.count(), 2);
    EXPECT_EQ(ended[0][0].value<CallId>(), 0x80000010u);

    // A code's words: those of the source that reported it last, else the phone book's.
    nm.ownCode = dialup_error::PppTimeout;
    EXPECT_EQ(service.errorText(dialup_error::LineBusy), "phone book text");
    EXPECT_EQ(service.errorText(dialup_error::PppTimeout), "NetworkManager text");
    EXPECT_EQ(service.errorText(12345), "");
    QSignalSpy stages(&service, &DialUpService::callStateChanged);
    nm.tellFailure(0x80000010, dialup_error::LineBusy);
    EXPECT_EQ(service.errorText(dialup_error::LineBusy), "NetworkManager text");
    book.tellFailure(0x100, dialup_error::LineBusy);
    EXPECT_EQ(service.errorText(dialup_error::LineBusy), "phone book text");
    EXPECT_EQ(stages.count(), 2);
}

TEST_F(Combined, AnEntryGoneWithItsSourceIsMissingInThatSourcesWords) {
    listed();  // "Mobile" was NetworkManager's
    book.ownCode = nm.ownCode = dialup_error::CannotFindEntry;
    nm.setNames({});  // NetworkManager gone, or the profile removed
    CallId id = 0;
    EXPECT_EQ(service.dial(to("Mobile"), &id), dialup_error::CannotFindEntry);
    EXPECT_EQ(service.errorText(dialup_error::CannotFindEntry), "NetworkManager text");
    EXPECT_EQ(service.dial(to("Nobody"), &id), dialup_error::CannotFindEntry);
    EXPECT_EQ(service.errorText(dialup_error::CannotFindEntry), "phone book text");
}

}  // namespace
}  // namespace obu
