#include "model/WebPageOpener.h"

#include <QStringList>

#include "platform/Registry.h"

namespace obu {

const QString WebPageOpener::ProductPage = QStringLiteral("https://obu-linekeeper.example/");
const QString WebPageOpener::MakerPage = QStringLiteral("https://vantor-studio.example/");
const QString WebPageOpener::DefaultUrl = WebPageOpener::ProductPage;

WebPageOpener::WebPageOpener(Registry& registry, Shell& shell)
    : registry_(registry), shell_(shell), url_(DefaultUrl) {}

Shell::Outcome WebPageOpener::openPage(const Registry* registry, Shell& shell,
                                       const QString& address) {
    const QStringList command = registry ? registry->commandFor(address) : QStringList();
    return command.isEmpty() ? shell.open(address) : shell.start(command);
}

}  // namespace obu
