#pragma once
#include <QString>
#include <QStringList>

namespace obu {

// The desktop's choice of applications: which program opens an address.
class Registry {
public:
    virtual ~Registry() = default;

    // The command that opens `address` in the desktop's default application
    // for it: the program's full path, then its arguments, the address among
    // them as one whole argument. The application is the default one for the
    // address's scheme (http for an address written without one), else the
    // default one for web pages. Empty when there is none.
    virtual QStringList commandFor(const QString& address) const = 0;

    // The scheme an address is looked up by: its own ("https" of
    // "HTTPS://x"), or http for one written without ("www.example.org").
    static QString schemeOf(const QString& address);
};

}  // namespace obu
