#pragma once
#include <QString>
#include <QStringList>
#include <map>

#include "platform/Registry.h"

namespace obu::test {

// Default applications held in a map: scheme (or "text/html") -> command,
// in which an argument "%u" takes the address; a command without one gets the
// address last. Looks up as the desktop's database does: the address's
// scheme, then web pages.
class FakeRegistry : public Registry {
public:
    void set(const QString& schemeOrType, const QStringList& command) {
        m_commands[schemeOrType.toLower()] = command;
    }
    void remove(const QString& schemeOrType) { m_commands.erase(schemeOrType.toLower()); }

    // Every address asked about, in order.
    mutable QStringList lookedUp;

    QStringList commandFor(const QString& address) const override {
        lookedUp.append(address);
        auto it = m_commands.find(schemeOf(address));
        if (it == m_commands.end()) it = m_commands.find(QStringLiteral("text/html"));
        if (it == m_commands.end()) return {};
        QStringList command = it->second;
        if (command.contains(QStringLiteral("%u")))
            command.replaceInStrings(QStringLiteral("%u"), address);
        else
            command.append(address);
        return command;
    }

private:
    std::map<QString, QStringList> m_commands;
};

}  // namespace obu::test
