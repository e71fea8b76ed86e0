#include "dialup/phonebook/SafeMapping.h"

#include <signal.h>
#include <sys/mman.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>

namespace obu {

namespace {

// The mappings the handler may repair. Few exist (one per registry), and the
// handler must not take locks: a fixed table of atomics.
constexpr int kSlots = 16;
struct Slot {
    std::atomic<std::uintptr_t> start{0};
    std::atomic<std::size_t> bytes{0};
    std::atomic<bool> broken{false};
};
Slot repairable[kSlots];
struct sigaction previous {};
std::once_flag installed;

void onBus(int sig, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Slot& s : repairable) {
        const std::uintptr_t start = s.start.load(std::memory_order_acquire);
        if (start == 0 || address < start || address >= start + s.bytes.load()) continue;
        // Zero pages in place of the file's: the faulting access is repeated on
        // them when we return.
        const int saved = errno;
        // The slot keeps the mapping's address as a number so that it can be atomic.
        void* const at = reinterpret_cast<void*>(start);  // NOLINT(performance-no-int-to-ptr)
        void* const zeroes = ::mmap(at, s.bytes.load(), PROT_READ | PROT_WRITE,
                                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        errno = saved;
        // Without the zero pages the access would fault again at once, for
        // ever: let the repeated fault end the process instead.
        if (zeroes == MAP_FAILED) ::signal(SIGBUS, SIG_DFL);
        s.broken.store(true, std::memory_order_release);
        return;
    }
    // Not ours: whatever handled SIGBUS before handles it.
    if (previous.sa_flags & SA_SIGINFO) {
        if (previous.sa_sigaction) {
            previous.sa_sigaction(sig, info, context);
            return;
        }
    } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(sig);
        return;
    }
    // The default action: returning repeats the fault, which now ends the process.
    ::signal(SIGBUS, SIG_DFL);
}

void install() {
    struct sigaction action {};
    action.sa_sigaction = onBus;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previous);
}

}  // namespace

bool SafeMapping::map(int fd, std::size_t bytes) {
    unmap();
    std::call_once(installed, install);
    int free = -1;
    for (int i = 0; i < kSlots && free < 0; ++i) {
        std::uintptr_t expected = 0;
        // 1 reserves the slot until the mapping's address is known.
        if (repairable[i].start.compare_exchange_strong(expected, 1)) free = i;
    }
    if (free < 0) {
        errno = EMFILE;
        return false;
    }
    void* data = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) {
        const int why = errno;
        repairable[free].start.store(0);
        errno = why;
        return false;
    }
    repairable[free].bytes.store(bytes);
    repairable[free].broken.store(false);
    repairable[free].start.store(reinterpret_cast<std::uintptr_t>(data), std::memory_order_release);
    m_data = data;
    m_bytes = bytes;
    m_slot = free;
    return true;
}

void SafeMapping::unmap() {
    if (m_slot < 0) return;
    repairable[m_slot].start.store(0, std::memory_order_release);
    ::munmap(m_data, m_bytes);
    repairable[m_slot].bytes.store(0);
    repairable[m_slot].broken.store(false);
    m_data = nullptr;
    m_bytes = 0;
    m_slot = -1;
}

bool SafeMapping::broken() const {
    return m_slot >= 0 && repairable[m_slot].broken.load(std::memory_order_relaxed);
}

}  // namespace obu
