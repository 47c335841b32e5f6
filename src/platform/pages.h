// Blocks of memory taken straight from the operating system and given back to
// it when released, for large arrays that grow while a file is read: memory
// that is released this way leaves the process at once, so that moving data
// from blocks into their final array does not hold both whole.  A failed
// allocation throws std::bad_alloc, as new does.
#pragma once

#include <cstddef>

namespace kolmo::platform {

class PageBlock {
public:
    PageBlock() = default;
    explicit PageBlock(std::size_t bytes);
    PageBlock(PageBlock&& other) noexcept : data_(other.data_), size_(other.size_)
    {
        other.data_ = nullptr;
        other.size_ = 0;
    }
    PageBlock& operator=(PageBlock&& other) noexcept;
    PageBlock(const PageBlock&) = delete;
    PageBlock& operator=(const PageBlock&) = delete;
    ~PageBlock() { release(); }

    void* data() const { return data_; }
    std::size_t size() const { return size_; }
    void release() noexcept;

private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace kolmo::platform
