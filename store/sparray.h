// Growable arrays: the object array template CSPArray and the plain record arrays.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "base/containers.h"

// From this many elements on, a full array grows by at least half its capacity.
constexpr int kArrayGeometricFrom = 65536;

// New capacity when size must grow to newSize beyond capacity: the same step as the base arrays
// (the grow-by, or with grow-by 0 size / 8 kept between 4 and 1024), and never below newSize.
// A large array grows by at least half: a fixed step would copy the whole array every step's
// worth of appends (a series of a million bars every 1,024 bars), half keeps an append amortised
// constant at most half again the memory.
inline int ArrayGrowCapacity(int size, int capacity, int growBy, int newSize) {
    int64_t grown = int64_t(capacity) + velmora::ArrayGrowStep(growBy, size);
    if (size >= kArrayGeometricFrom) grown = std::max<int64_t>(grown, int64_t(capacity) + capacity / 2);
    // Never past what an int counts (nor the byte size of 32-bit memory; the allocation fails then).
    grown = std::min<int64_t>(grown, INT32_MAX);
    return std::max(int(grown), newSize);
}

// Array of objects: new elements are constructed, removed ones destroyed, copies use assignment.
template <class TYPE, class ARG_TYPE = const TYPE&>
class CSPArray : public Object {
public:
    CSPArray() : m_pData(nullptr), m_nSize(0), m_nMaxSize(0), m_nGrowBy(0) {}
    CSPArray(const CSPArray& other) : Object(), m_pData(nullptr), m_nSize(0), m_nMaxSize(0), m_nGrowBy(0) {
        Copy(other);
    }
    CSPArray& operator=(const CSPArray& other) {
        Copy(other);
        return *this;
    }
    ~CSPArray() override { SetSize(0, -1); }

    int GetSize() const { return m_nSize; }
    int GetUpperBound() const { return m_nSize - 1; }
    int GetCapacity() const { return m_nMaxSize; }
    int GetGrowBy() const { return m_nGrowBy; }
    TYPE* GetData() { return m_pData; }
    const TYPE* GetData() const { return m_pData; }
    TYPE& operator[](int i) { return m_pData[i]; }
    const TYPE& operator[](int i) const { return m_pData[i]; }
    TYPE& ElementAt(int i) { return m_pData[i]; }
    const TYPE& GetAt(int i) const { return m_pData[i]; }
    void SetAt(int i, ARG_TYPE element) { m_pData[i] = element; }

    // growBy -1 keeps the step.
    void SetSize(int newSize, int growBy = -1) {
        if (growBy >= 0) m_nGrowBy = growBy;
        if (newSize < 0) newSize = 0;
        if (newSize == 0) {
            Destroy(0, m_nSize);
            std::free(m_pData);
            m_pData = nullptr;
            m_nSize = m_nMaxSize = 0;
            return;
        }
        if (!m_pData) {
            m_pData = Allocate(newSize);
            Construct(0, newSize);
            m_nSize = m_nMaxSize = newSize;
            return;
        }
        if (newSize <= m_nMaxSize) {
            if (newSize > m_nSize) Construct(m_nSize, newSize);
            else Destroy(newSize, m_nSize);
            m_nSize = newSize;
            return;
        }
        Reallocate(ArrayGrowCapacity(m_nSize, m_nMaxSize, m_nGrowBy, newSize));
        Construct(m_nSize, newSize);
        m_nSize = newSize;
    }

    // Room for capacity elements without changing the size, so that adding that many moves none.
    void Reserve(int capacity) {
        if (capacity > m_nMaxSize) Reallocate(capacity);
    }

    void FreeExtra() {
        if (m_nSize == m_nMaxSize) return;
        if (m_nSize == 0) {
            std::free(m_pData);
            m_pData = nullptr;
            m_nMaxSize = 0;
            return;
        }
        Reallocate(m_nSize);
    }

    void RemoveAll() { SetSize(0, -1); }

    void SetAtGrow(int i, ARG_TYPE element) {
        if (i < 0) return;
        if (i >= m_nSize) {
            TYPE copy(element); // the element may live in this array
            SetSize(i + 1, -1);
            m_pData[i] = std::move(copy);
            return;
        }
        m_pData[i] = element;
    }

    int Add(ARG_TYPE element) {
        int index = m_nSize;
        SetAtGrow(index, element);
        return index;
    }

    // Appends the other array's elements; returns the old size.
    int Append(const CSPArray& src) {
        int old = m_nSize;
        if (&src == this) {
            CSPArray copy(src);
            return Append(copy);
        }
        SetSize(m_nSize + src.m_nSize, -1);
        for (int i = 0; i < src.m_nSize; ++i) m_pData[old + i] = src.m_pData[i];
        return old;
    }

    void Copy(const CSPArray& src) {
        if (&src == this) return;
        SetSize(src.m_nSize, -1);
        for (int i = 0; i < src.m_nSize; ++i) m_pData[i] = src.m_pData[i];
    }

    void InsertAt(int index, ARG_TYPE element, int count = 1) {
        if (index < 0 || count <= 0) return;
        TYPE copy(element);
        if (index >= m_nSize) {
            SetSize(index + count, -1);
        } else {
            int old = m_nSize;
            SetSize(m_nSize + count, -1);
            // Shift the tail up; the slots left behind are assigned below.
            for (int i = old - 1; i >= index; --i) m_pData[i + count] = std::move(m_pData[i]);
        }
        for (int i = 0; i < count; ++i) m_pData[index + i] = copy;
    }

    void InsertAt(int index, const CSPArray& src) {
        if (index < 0 || src.m_nSize == 0) return;
        if (&src == this) {
            CSPArray copy(src);
            InsertAt(index, copy);
            return;
        }
        InsertAt(index, src.m_pData[0], src.m_nSize);
        for (int i = 1; i < src.m_nSize; ++i) m_pData[index + i] = src.m_pData[i];
    }

    void RemoveAt(int index, int count = 1) {
        if (index < 0 || count <= 0 || index >= m_nSize) return;
        count = std::min(count, m_nSize - index);
        for (int i = index; i + count < m_nSize; ++i) m_pData[i] = std::move(m_pData[i + count]);
        Destroy(m_nSize - count, m_nSize);
        m_nSize -= count;
    }

protected:
    static TYPE* Allocate(int count) {
        void* p = std::malloc(sizeof(TYPE) * size_t(count));
        if (!p) throw std::bad_alloc();
        return static_cast<TYPE*>(p);
    }
    void Construct(int from, int to) {
        for (int i = from; i < to; ++i) new (m_pData + i) TYPE();
    }
    void Destroy(int from, int to) {
        for (int i = from; i < to; ++i) m_pData[i].~TYPE();
    }
    void Reallocate(int capacity) {
        TYPE* fresh = Allocate(capacity);
        for (int i = 0; i < m_nSize; ++i) {
            new (fresh + i) TYPE(std::move(m_pData[i]));
            m_pData[i].~TYPE();
        }
        std::free(m_pData);
        m_pData = fresh;
        m_nMaxSize = capacity;
    }

    TYPE* m_pData;
    int m_nSize;
    int m_nMaxSize;
    int m_nGrowBy;
};

// Storage for count plain records, not yet zeroed.
template <class T>
T* AllocateRecords(int count) {
    void* p = std::malloc(sizeof(T) * size_t(count));
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
}

// Sets the count of a block of plain records kept with malloc: count 0 or less frees it; new
// records are zero. Both record arrays (CRecordArray and the K-line series) size this way.
template <class T>
void SetRecordCount(T*& data, int& size, int& capacity, int growBy, int count) {
    if (count <= 0) {
        std::free(data);
        data = nullptr;
        size = capacity = 0;
        return;
    }
    if (!data) {
        data = AllocateRecords<T>(count);
        std::memset(static_cast<void*>(data), 0, sizeof(T) * size_t(count));
        size = capacity = count;
        return;
    }
    if (count > capacity) {
        int grown = ArrayGrowCapacity(size, capacity, growBy, count);
        if (size_t(grown) > SIZE_MAX / sizeof(T)) grown = count;
        // Moved by realloc (a large block may be remapped rather than copied); when the room to
        // spare cannot be had, the exact count is tried before giving up.
        T* fresh = static_cast<T*>(std::realloc(static_cast<void*>(data), sizeof(T) * size_t(grown)));
        if (!fresh && grown > count) {
            grown = count;
            fresh = static_cast<T*>(std::realloc(static_cast<void*>(data), sizeof(T) * size_t(grown)));
        }
        if (!fresh) throw std::bad_alloc();
        // Only the new records are zeroed: the room beyond is zeroed when the count reaches it,
        // so that memory not used yet is not touched.
        std::memset(static_cast<void*>(fresh + size), 0, sizeof(T) * size_t(count - size));
        data = fresh;
        capacity = grown;
    } else if (count > size) {
        std::memset(static_cast<void*>(data + size), 0, sizeof(T) * size_t(count - size));
    }
    size = count;
}

// Array of plain records (no construction beyond zeroing): the market records.
template <class T>
class CRecordArray {
    static_assert(std::is_trivially_copyable<T>::value, "plain records only");

public:
    CRecordArray() : m_pData(nullptr), m_nSize(0), m_nMaxSize(0), m_nGrowBy(0) {}
    CRecordArray(const CRecordArray& other) : CRecordArray() { *this = other; }
    // The grow-by becomes the source size + 5; assigning an array to itself keeps it.
    CRecordArray& operator=(const CRecordArray& other) {
        if (&other == this) return *this;
        m_nGrowBy = other.m_nSize + 5;
        SetSize(0, -1);
        SetSize(other.m_nSize, -1);
        if (other.m_nSize) std::memcpy(m_pData, other.m_pData, sizeof(T) * size_t(other.m_nSize));
        return *this;
    }
    ~CRecordArray() { std::free(m_pData); }

    int GetSize() const { return m_nSize; }
    int GetCapacity() const { return m_nMaxSize; }
    int GetGrowBy() const { return m_nGrowBy; }
    void SetGrowBy(int growBy) { m_nGrowBy = growBy < 0 ? 0 : growBy; }
    T* GetData() { return m_pData; }
    const T* GetData() const { return m_pData; }
    T& operator[](int i) { return m_pData[i]; }
    const T& operator[](int i) const { return m_pData[i]; }
    T& ElementAt(int i) { return m_pData[i]; }
    const T& GetAt(int i) const { return m_pData[i]; }

    // growBy -1 keeps the step; new records are zero.
    void SetSize(int count, int growBy = -1) {
        if (growBy >= 0) m_nGrowBy = growBy;
        SetRecordCount(m_pData, m_nSize, m_nMaxSize, m_nGrowBy, count);
    }
    void RemoveAll() { SetSize(0, -1); }

    // Stores the record, growing the array when i is past the end.
    void SetAt(int i, const T& record) {
        if (i < 0) return;
        if (i >= m_nSize) {
            T copy = record;
            SetSize(i + 1, -1);
            m_pData[i] = copy;
            return;
        }
        m_pData[i] = record;
    }
    int Add(const T& record) {
        int index = m_nSize;
        SetAt(index, record);
        return index;
    }
    void InsertAt(int index, const T& record, int count = 1) {
        if (index < 0 || count <= 0) return;
        T copy = record;
        if (index < m_nSize) {
            int old = m_nSize;
            SetSize(m_nSize + count, -1);
            std::memmove(static_cast<void*>(m_pData + index + count), m_pData + index,
                         sizeof(T) * size_t(old - index));
        } else {
            SetSize(index + count, -1);
        }
        for (int i = 0; i < count; ++i) m_pData[index + i] = copy;
    }
    // Room for the whole source first, then its records.
    void InsertArrayAt(int index, const CRecordArray& src) {
        if (index < 0 || src.m_nSize == 0) return;
        if (&src == this) {
            CRecordArray copy(src);
            InsertArrayAt(index, copy);
            return;
        }
        InsertAt(index, src.m_pData[0], src.m_nSize);
        std::memcpy(static_cast<void*>(m_pData + index), src.m_pData, sizeof(T) * size_t(src.m_nSize));
    }
    void RemoveAt(int index, int count = 1) {
        if (index < 0 || count <= 0 || index >= m_nSize) return;
        count = std::min(count, m_nSize - index);
        std::memmove(static_cast<void*>(m_pData + index), m_pData + index + count,
                     sizeof(T) * size_t(m_nSize - index - count));
        m_nSize -= count;
        std::memset(static_cast<void*>(m_pData + m_nSize), 0, sizeof(T) * size_t(count));
    }

protected:
    // Stable, so that of equal keys the earlier record stays first.
    template <class Less>
    void SortBy(Less less) {
        if (m_nSize > 1) std::stable_sort(m_pData, m_pData + m_nSize, less);
    }

    T* m_pData;
    int m_nSize;
    int m_nMaxSize;
    int m_nGrowBy;
};
