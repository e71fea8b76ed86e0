// AddressSanitizer's defaults for every fuzz target (ASAN_OPTIONS still has
// the last word).
//
// ASan records the call stack of every allocation and free, to show them when
// a freed or overrun block is touched. Qt is built without frame pointers, so
// past the first frame inside Qt the quick unwinder reads stray values: almost
// every allocation made a stack never seen before, and the store of stacks
// grew without end, taking 60 % of the time and hundreds of megabytes. Two
// frames (the allocator and its caller) are all that can be read reliably;
// what is found is the same, and the report still shows the bad access's own
// stack in full.
extern "C" const char* __asan_default_options() {
    return "malloc_context_size=2";
}
