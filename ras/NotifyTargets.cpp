#include "ras/NotifyTargets.h"

#include <map>
#include <memory>
#include <mutex>

#include "platform/EventLoop.h"

namespace obu {

namespace {

struct Table {
    std::mutex mutex;
    // Shared, so that a procedure destroying its own target keeps running.
    std::map<NotifyTarget, std::shared_ptr<NotifyTargets::Procedure>> procedures;
    NotifyTarget next = 1;
};

Table& table() {
    static Table instance;
    return instance;
}

std::shared_ptr<NotifyTargets::Procedure> find(NotifyTarget target) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.procedures.find(target);
    return it == t.procedures.end() ? nullptr : it->second;
}

}  // namespace

NotifyTarget NotifyTargets::create(Procedure procedure) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    NotifyTarget id = t.next++;
    if (id == 0) id = t.next++;  // after a wrap of 2^32 targets
    t.procedures[id] = std::make_shared<Procedure>(std::move(procedure));
    return id;
}

void NotifyTargets::destroy(NotifyTarget target) {
    std::shared_ptr<Procedure> keep;  // released outside the lock
    Table& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.procedures.find(target);
    if (it == t.procedures.end()) return;
    keep = std::move(it->second);
    t.procedures.erase(it);
}

bool NotifyTargets::exists(NotifyTarget target) {
    return find(target) != nullptr;
}

void NotifyTargets::post(EventLoop& loop, NotifyTarget target, std::uint32_t message,
                         std::uintptr_t wParam, std::intptr_t lParam) {
    if (target == 0) return;
    loop.post([target, message, wParam, lParam] { send(target, message, wParam, lParam); });
}

std::intptr_t NotifyTargets::send(NotifyTarget target, std::uint32_t message, std::uintptr_t wParam,
                                  std::intptr_t lParam) {
    const auto procedure = find(target);
    if (!procedure || !*procedure) return 0;
    return (*procedure)(message, wParam, lParam);
}

int NotifyTargets::count() {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    return static_cast<int>(t.procedures.size());
}

}  // namespace obu
