#include "dialup/CombinedDialUpService.h"

namespace obu {

CombinedDialUpService::CombinedDialUpService(DialUpService& phoneBook, DialUpService& second,
                                             QObject* parent)
    : DialUpService(parent), m_phoneBook(phoneBook), m_second(second) {}

void CombinedDialUpService::connectNotify(const QMetaMethod& signal) {
    if (m_forwarded.contains(signal.methodIndex())) return;
    const auto forward = [&](auto which) {
        if (signal != QMetaMethod::fromSignal(which)) return;
        m_forwarded.insert(signal.methodIndex());
        connect(&m_phoneBook, which, this, which);
        connect(&m_second, which, this, which);
    };
    if (signal == QMetaMethod::fromSignal(&DialUpService::callStateChanged)) {
        m_forwarded.insert(signal.methodIndex());
        for (DialUpService* source : {&m_phoneBook, &m_second})
            connect(source, &DialUpService::callStateChanged, this,
                    [this, source](CallId id, CallState state, DialUpError error) {
                        emit callStateChanged(id, state, noted(*source, error));
                    });
    }
    forward(&DialUpService::callsChanged);
    forward(&DialUpService::callEnded);
    forward(&DialUpService::entriesChanged);
    forward(&DialUpService::sourcesChanged);
}

DialUpError CombinedDialUpService::entries(const QString& phoneBook, QList<EntryInfo>* out) {
    if (!out) return dialup_error::InvalidParameter;
    // A phone book that cannot be read still leaves the other entries to
    // list, but its error is what the caller hears.
    const DialUpError result = m_phoneBook.entries(phoneBook, out);
    if (result != dialup_error::None) out->clear();
    QSet<QString> names;
    for (const EntryInfo& entry : *out) names.insert(entry.name.toCaseFolded());
    QList<EntryInfo> others;
    if (m_second.entries(phoneBook, &others) != dialup_error::None) return result;
    for (const EntryInfo& entry : others) {
        const QString folded = entry.name.toCaseFolded();
        if (!names.contains(folded)) {
            m_secondsNames.insert(folded);
            out->append(entry);
            continue;
        }
        if (!m_hiddenNamesTold.contains(folded)) {
            m_hiddenNamesTold.insert(folded);
            emit entryHidden(entry.name, entry.source);
        }
    }
    return result;
}

bool CombinedDialUpService::secondHasEntry(const QString& phoneBook, const QString& name) {
    QList<EntryInfo> others;
    if (m_second.entries(phoneBook, &others) != dialup_error::None) return false;
    for (const EntryInfo& entry : others)
        if (entry.name.compare(name, Qt::CaseInsensitive) == 0) return true;
    return false;
}

DialUpError CombinedDialUpService::dial(const DialRequest& request, CallId* id) {
    const DialUpError result = m_phoneBook.dial(request, id);
    // Not the phone book's entry, or no phone book to find it in: the other
    // source's, when it has one of that name; else the phone book's answer.
    if ((result == dialup_error::CannotFindEntry || result == dialup_error::CannotOpenPhoneBook ||
         result == dialup_error::CannotLoadPhoneBook) &&
        secondHasEntry(request.phoneBook, request.entry))
        return noted(m_second, m_second.dial(request, id));
    // An entry last listed by the other source that is gone now (its source
    // with it) is missing in that source's words.
    if (result == dialup_error::CannotFindEntry &&
        m_secondsNames.contains(request.entry.toCaseFolded()))
        return noted(m_second, result);
    return noted(m_phoneBook, result);
}

DialUpService& CombinedDialUpService::ownerOf(CallId id) const {
    return (id & kSecondIdBit) ? m_second : m_phoneBook;
}

DialUpService& CombinedDialUpService::otherThan(const DialUpService& source) const {
    return &source == &m_phoneBook ? m_second : m_phoneBook;
}

DialUpError CombinedDialUpService::hangUp(CallId id) {
    DialUpService& owner = ownerOf(id);
    const DialUpError result = owner.hangUp(id);
    // An id that its own source does not know may still be the other's.
    if (result == dialup_error::InvalidCall) return otherThan(owner).hangUp(id);
    return result;
}

DialUpError CombinedDialUpService::calls(QList<CallInfo>* out) {
    if (!out) return dialup_error::InvalidParameter;
    const DialUpError result = m_phoneBook.calls(out);
    if (result != dialup_error::None) out->clear();
    QList<CallInfo> others;
    if (m_second.calls(&others) == dialup_error::None) out->append(others);
    return result;
}

DialUpError CombinedDialUpService::callStatus(CallId id, CallInfo* out) {
    DialUpService& owner = ownerOf(id);
    const DialUpError result = owner.callStatus(id, out);
    if (result == dialup_error::InvalidCall) return otherThan(owner).callStatus(id, out);
    return result;
}

DialUpError CombinedDialUpService::noted(const DialUpService& source, DialUpError error) {
    if (error != dialup_error::None) {
        m_lastErrorSource = &source;
        m_lastError = error;
    }
    return error;
}

QString CombinedDialUpService::errorText(DialUpError code) const {
    if (code == m_lastError && m_lastErrorSource) {
        const QString text = m_lastErrorSource->errorText(code);
        if (!text.isEmpty()) return text;
    }
    const QString text = m_phoneBook.errorText(code);
    return text.isEmpty() ? m_second.errorText(code) : text;
}

void CombinedDialUpService::forget(CallId id) {
    ownerOf(id).forget(id);
}

bool CombinedDialUpService::sourcesReady() const {
    return m_phoneBook.sourcesReady() && m_second.sourcesReady();
}

QString CombinedDialUpService::failureDetail(CallId id) {
    DialUpService& owner = ownerOf(id);
    const QString detail = owner.failureDetail(id);
    return detail.isEmpty() ? otherThan(owner).failureDetail(id) : detail;
}

}  // namespace obu
