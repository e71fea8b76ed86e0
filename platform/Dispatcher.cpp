#include "platform/Dispatcher.h"

#include <cstdio>
#include <exception>

#include "platform/Dialogs.h"
#include "platform/Errors.h"

namespace obu {

bool Dispatcher::run(const std::function<void()>& handler) noexcept {
    try {
        handler();
        return true;
    } catch (const ObuError& e) {
        try {
            m_dialogs.errorBox(m_title, e.message());
        } catch (...) {
            std::fprintf(stderr, "obu: %s\n", e.what());
        }
    } catch (const std::exception& e) {
        // Not one of ours: still never let it tear down the message loop.
        try {
            m_dialogs.errorBox(m_title, QString::fromLocal8Bit(e.what()));
        } catch (...) {
            std::fprintf(stderr, "obu: %s\n", e.what());
        }
    }
    return false;
}

}  // namespace obu
