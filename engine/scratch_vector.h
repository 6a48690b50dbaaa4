// Arrays that a pass overwrites whole before it reads them.
//
// std::vector<double>::resize writes a zero into every new element; for the
// log tables of a million values that is megabytes written only to be
// overwritten by the next pass. ScratchVector leaves new elements
// uninitialised (default-initialised), which for double means untouched.
#pragma once

#include <memory>
#include <new>
#include <utility>
#include <vector>

template <class T>
struct UninitializedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    UninitializedAllocator() noexcept = default;
    template <class U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}

    template <class U>
    void construct(U* place) noexcept {
        ::new (static_cast<void*>(place)) U;
    }
    template <class U, class... Args>
    void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }
};

template <class T>
using ScratchVector = std::vector<T, UninitializedAllocator<T>>;
