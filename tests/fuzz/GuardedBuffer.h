// A buffer of an exact size whose last byte sits right before an inaccessible page, so that reading or
// writing one byte past its end faults at once (also without a sanitizer's help). Anonymous private pages
// from the system, zeroed at creation; owned by one fuzz target for its whole process, single-threaded.
#pragma once

#include <cstddef>

class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t size);
    ~GuardedBuffer();
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    unsigned char* Data() const { return data; }
    size_t Size() const { return size; }
    // The last `bytes` bytes of the buffer (bytes <= Size()): a block of that size that ends at the guard.
    unsigned char* Tail(size_t bytes) const { return data + size - bytes; }

private:
    size_t size;
    size_t mappedBytes = 0;
    void* mapping = nullptr;
    unsigned char* data = nullptr;
};
