#ifndef ALLOCATION_H
#define ALLOCATION_H

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

// Arrays of the sizes that files ask for. Memory that cannot be had gives a
// null array, not an exception, so that the read fails with its reason like
// any other; an array never has zero entries, so that null always means that.
template <typename T> std::unique_ptr<T[]> allocateArray(qint64 count)
{
    if (count > qint64(PTRDIFF_MAX / sizeof(T)))
        return nullptr;
    return std::unique_ptr<T[]>(new (std::nothrow) T[size_t(qMax<qint64>(count, 1))]);
}

// The same with every entry zero.
template <typename T> std::unique_ptr<T[]> allocateZeroed(qint64 count)
{
    if (count > qint64(PTRDIFF_MAX / sizeof(T)))
        return nullptr;
    return std::unique_ptr<T[]>(new (std::nothrow) T[size_t(qMax<qint64>(count, 1))]());
}

#endif
