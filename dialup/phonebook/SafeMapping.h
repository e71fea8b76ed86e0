#pragma once
#include <cstddef>

namespace obu {

// A shared mapping of a file that a shrunk file cannot crash. Touching a page
// past the end of a mapped file raises SIGBUS, and any process of the user may
// truncate the file under us. A handler of ours puts zero-filled private memory
// in the place of a mapping that faults, so the access completes, and marks it
// broken; its owner then sees broken() and maps the file afresh.
class SafeMapping {
public:
    SafeMapping() = default;
    SafeMapping(const SafeMapping&) = delete;
    SafeMapping& operator=(const SafeMapping&) = delete;
    ~SafeMapping() { unmap(); }

    // Maps bytes of fd, shared, for reading and writing. False with errno set
    // (also when too many mappings of this kind exist at once).
    bool map(int fd, std::size_t bytes);
    void unmap();
    void* data() const { return m_data; }
    // The file shrank under a reader or writer since map(): what was read or
    // written since is not the file's.
    bool broken() const;

private:
    void* m_data = nullptr;
    std::size_t m_bytes = 0;
    int m_slot = -1;
};

}  // namespace obu
