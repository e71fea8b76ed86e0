#include "model/WebPageOpener.h"

#include <QStringList>

#include "platform/Registry.h"

namespace obu {

const QString WebPageOpener::ProductPage = QStringLiteral("https://obu-linekeeper.example/");
const QString WebPageOpener::MakerPage = QStringLiteral("https://vantor-studio.example/");
const QString WebPageOpener::DefaultUrl = WebPageOpener::ProductPage;

WebPageOpener::WebPageOpener(Registry& registry, Shell& shell)
    : m_registry(registry), m_shell(shell), m_url(DefaultUrl) {}

Shell::Outcome WebPageOpener::openPage(const Registry* registry, Shell& shell,
                                       const QString& address) {
    const QStringList command = registry ? registry->commandFor(address) : QStringList();
    return command.isEmpty() ? shell.open(address) : shell.start(command);
}

}  // namespace obu
