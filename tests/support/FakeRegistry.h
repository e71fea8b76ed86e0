#pragma once
#include <QStringList>
#include <map>
#include <optional>
#include <set>

#include "platform/Registry.h"

namespace obu::test {

// Registry keys held in a map: path -> default value. Setting a key makes the
// keys above it exist too (without values), as in the real registry.
class FakeRegistry : public Registry {
public:
    void set(const QString& path, const QString& value) { keys_[normalizedPath(path)] = value; }
    // A command as XdgRegistry makes it from a desktop entry's Exec line.
    void setFromDesktopEntry(const QString& path, const QString& value) {
        set(path, value);
        desktopEntries_.insert(normalizedPath(path));
    }
    void addKey(const QString& path) { keys_.try_emplace(normalizedPath(path)); }
    void remove(const QString& path) { keys_.erase(normalizedPath(path)); }

    // Every key read, normalized, in order.
    mutable QStringList lookedUp;

protected:
    Key lookUp(const QString& path) const override {
        lookedUp.append(path);
        if (const auto it = keys_.find(path); it != keys_.end())
            return {true, it->second, desktopEntries_.count(path) > 0};
        const QString below = path + u'\\';
        for (const auto& [name, value] : keys_)
            if (name.startsWith(below)) return {true, std::nullopt};
        return {};
    }

private:
    std::map<QString, std::optional<QString>> keys_;
    std::set<QString> desktopEntries_;
};

}  // namespace obu::test
