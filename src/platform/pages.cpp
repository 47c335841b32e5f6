#include "platform/pages.h"

#include <new>
#include <sys/mman.h>

namespace kolmo::platform {

PageBlock::PageBlock(std::size_t bytes) : size_(bytes)
{
    if (bytes == 0)
        return;
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        size_ = 0;
        throw std::bad_alloc();
    }
    data_ = p;
}

PageBlock& PageBlock::operator=(PageBlock&& other) noexcept
{
    if (this != &other) {
        release();
        data_ = other.data_;
        size_ = other.size_;
        other.data_ = nullptr;
        other.size_ = 0;
    }
    return *this;
}

void PageBlock::release() noexcept
{
    if (data_)
        ::munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

} // namespace kolmo::platform
