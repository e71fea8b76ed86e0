#pragma once
#include <QString>

#include "platform/Shell.h"

namespace obu {

class Registry;

// Opens a web page in the desktop's default browser.
class WebPageOpener {
public:
    // The addresses the program opens: its own page, the maker's page, and the
    // one a new component starts with.
    static const QString ProductPage;  // https://obu-linekeeper.example/
    static const QString MakerPage;    // https://vantor-studio.example/
    static const QString DefaultUrl;   // the product's page

    WebPageOpener(Registry& registry, Shell& shell);

    const QString& url() const { return m_url; }
    void setUrl(const QString& value) { m_url = value; }

    // Opens url(); true when the browser was started.
    bool open() { return openPage(&m_registry, m_shell, m_url) == Shell::Outcome::Started; }

    // Starts the command the registry gives for `address`; where it names
    // none, the desktop's own opener gets the address.
    static Shell::Outcome openPage(const Registry* registry, Shell& shell, const QString& address);

private:
    Registry& m_registry;
    Shell& m_shell;
    QString m_url;
};

}  // namespace obu
