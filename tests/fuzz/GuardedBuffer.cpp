#include "GuardedBuffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

GuardedBuffer::GuardedBuffer(size_t size) : size(size)
{
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t dataPages = (size + page - 1) / page;
    mappedBytes = (dataPages + 1) * page;
    mapping = mmap(nullptr, mappedBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED || mprotect(static_cast<unsigned char*>(mapping) + dataPages * page, page, PROT_NONE) != 0) {
        std::perror("GuardedBuffer");
        std::abort();
    }
    data = static_cast<unsigned char*>(mapping) + dataPages * page - size;
}

GuardedBuffer::~GuardedBuffer()
{
    munmap(mapping, mappedBytes);
}
