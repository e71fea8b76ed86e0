#pragma once
#include <QMetaMethod>
#include <QSet>
#include <QString>

#include "dialup/DialUpService.h"

namespace obu {

// Two sources of the dial-up service as one: the phone book first, then
// another (NetworkManager). The entries are both sources' together; an entry
// of the second whose name the phone book has too (names compare without
// case, as the phone book's do) is left out, since a dial of that name goes
// to the phone book. Dials go to the source that has the entry, hang-ups and
// status questions to the source whose id it is (the second source's ids have
// the high bit set), and both sources' signals come out of this one. A code's
// text is the words of the source that last reported it (both sources know
// "device missing", in words of their own), else the phone book's.
class CombinedDialUpService : public DialUpService {
    Q_OBJECT
public:
    static constexpr CallId kSecondIdBit = 0x80000000u;

    // Neither source is owned; both outlive this object.
    CombinedDialUpService(DialUpService& phoneBook, DialUpService& second,
                          QObject* parent = nullptr);

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

signals:
    // The second source has an entry that the phone book's entry of the same
    // name hides: said once for each name.
    void entryHidden(const QString& name, const QString& source);

protected:
    // A source's signal is forwarded from its first listener on: a source may
    // watch its calls only while somebody listens.
    void connectNotify(const QMetaMethod& signal) override;

private:
    // The source whose id it is, and the other one.
    DialUpService& ownerOf(CallId id) const;
    DialUpService& otherThan(const DialUpService& source) const;
    bool secondHasEntry(const QString& phoneBook, const QString& name);
    DialUpError noted(const DialUpService& source, DialUpError error);

    DialUpService& m_phoneBook;
    DialUpService& m_second;
    QSet<QString> m_hiddenNamesTold;  // case-folded
    QSet<QString> m_secondsNames;     // case-folded: every entry the second source listed
    QSet<int> m_forwarded;            // the signals' method indices
    // The last error reported, and by which source.
    const DialUpService* m_lastErrorSource = nullptr;
    DialUpError m_lastError = dialup_error::None;
};

}  // namespace obu
