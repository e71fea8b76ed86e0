#include "gui/desktop/TrayShell.h"

#include <QPointer>

#include "platform/EventLoop.h"

namespace obu {

void TrayShell::report(TrayAction action) {
    m_loop.post([self = QPointer<TrayShell>(this), action] {
        if (self) emit self->activated(action);
    });
}

}  // namespace obu
