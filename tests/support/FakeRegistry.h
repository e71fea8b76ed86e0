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
        commands_[schemeOrType.toLower()] = command;
    }
    void remove(const QString& schemeOrType) { commands_.erase(schemeOrType.toLower()); }

    // Every address asked about, in order.
    mutable QStringList lookedUp;

    QStringList commandFor(const QString& address) const override {
        lookedUp.append(address);
        auto it = commands_.find(schemeOf(address));
        if (it == commands_.end()) it = commands_.find(QStringLiteral("text/html"));
        if (it == commands_.end()) return {};
        QStringList command = it->second;
        if (command.contains(QStringLiteral("%u")))
            command.replaceInStrings(QStringLiteral("%u"), address);
        else
            command.append(address);
        return command;
    }

private:
    std::map<QString, QStringList> commands_;
};

}  // namespace obu::test
