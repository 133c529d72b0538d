#include "base/containers.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "base/text.h"

namespace velmora {

int ArrayGrowStep(int growBy, int size) {
    if (growBy > 0) return growBy;
    return std::min(1024, std::max(4, size / 8));
}

namespace {

// The capacity for count elements when the array is full.
int NewCapacity(int capacity, int growBy, int size, int count) {
    int64_t grown = int64_t(capacity) + ArrayGrowStep(growBy, size);
    return static_cast<int>(std::min<int64_t>(INT_MAX, std::max<int64_t>(grown, count)));
}

}  // namespace

template <class T>
bool CSPPlainArray<T>::SetSize(int count, int growBy) {
    if (count < 0) return false;
    if (growBy != -1) m_nGrowBy = growBy;
    if (count == 0) {
        RemoveAll();
        return true;
    }
    if (size_t(count) > SIZE_MAX / sizeof(T)) return false;
    if (!m_pData) {
        T* data = static_cast<T*>(std::calloc(size_t(count), sizeof(T)));
        if (!data) return false;
        m_pData = data;
        m_nSize = m_nMaxSize = count;
        return true;
    }
    if (count > m_nMaxSize) {
        int capacity = NewCapacity(m_nMaxSize, m_nGrowBy, m_nSize, count);
        if (size_t(capacity) > SIZE_MAX / sizeof(T)) capacity = count;
        T* data = static_cast<T*>(std::malloc(size_t(capacity) * sizeof(T)));
        if (!data) return false;
        std::memcpy(data, m_pData, size_t(m_nSize) * sizeof(T));
        std::memset(data + m_nSize, 0, size_t(count - m_nSize) * sizeof(T));
        std::free(m_pData);
        m_pData = data;
        m_nMaxSize = capacity;
    } else if (count > m_nSize) {
        std::memset(m_pData + m_nSize, 0, size_t(count - m_nSize) * sizeof(T));
    }
    m_nSize = count;
    return true;
}

template <class T>
int CSPPlainArray<T>::Add(T value) {
    int index = m_nSize;
    if (index == INT_MAX || !SetSize(index + 1)) return -1;
    m_pData[index] = value;
    return index;
}

template <class T>
bool CSPPlainArray<T>::InsertAt(int index, T value, int count) {
    if (index < 0 || count < 1) return false;
    if (index < m_nSize) {
        int oldSize = m_nSize;
        if (int64_t(oldSize) + count > INT_MAX || !SetSize(oldSize + count)) return false;
        std::memmove(m_pData + index + count, m_pData + index, size_t(oldSize - index) * sizeof(T));
        std::memset(m_pData + index, 0, size_t(count) * sizeof(T));
    } else {
        if (int64_t(index) + count > INT_MAX || !SetSize(index + count)) return false;
    }
    for (int i = 0; i < count; ++i) m_pData[index + i] = value;
    return true;
}

template <class T>
bool CSPPlainArray<T>::RemoveAt(int index, int count) {
    if (index < 0 || count < 0 || int64_t(index) + count > m_nSize) return false;
    int moved = m_nSize - index - count;
    if (moved) std::memmove(m_pData + index, m_pData + index + count, size_t(moved) * sizeof(T));
    m_nSize -= count;
    return true;
}

template <class T>
void CSPPlainArray<T>::RemoveAll() {
    std::free(m_pData);
    m_pData = nullptr;
    m_nSize = m_nMaxSize = 0;
}

template <class T>
bool CSPPlainArray<T>::Copy(const CSPPlainArray& other) {
    if (this == &other) return true;
    if (!SetSize(other.m_nSize)) return false;
    if (m_nSize) std::memcpy(m_pData, other.m_pData, size_t(m_nSize) * sizeof(T));
    return true;
}

template <class T>
bool CSPPlainArray<T>::Append(const CSPPlainArray& other) {
    const int oldSize = m_nSize, n = other.m_nSize;
    if (this == &other) {
        // Appending to itself: the source moves with the buffer.
        if (int64_t(oldSize) * 2 > INT_MAX || !SetSize(oldSize * 2)) return false;
        if (oldSize) std::memcpy(m_pData + oldSize, m_pData, size_t(oldSize) * sizeof(T));
        return true;
    }
    if (int64_t(oldSize) + n > INT_MAX || !SetSize(oldSize + n)) return false;
    if (n) std::memcpy(m_pData + oldSize, other.m_pData, size_t(n) * sizeof(T));
    return true;
}

template class CSPPlainArray<void*>;
template class CSPPlainArray<DWORD>;

}  // namespace velmora

// ---- CSPStringArray ----

CSPStringArray::CSPStringArray() : m_pData(nullptr), m_nSize(0), m_nMaxSize(0), m_nGrowBy(0) {}

CSPStringArray::CSPStringArray(const CSPStringArray& other) : CSPStringArray() { Copy(other); }

CSPStringArray& CSPStringArray::operator=(const CSPStringArray& other) {
    if (this != &other) Copy(other);
    return *this;
}

CSPStringArray::~CSPStringArray() { RemoveAll(); }

bool CSPStringArray::SetSize(int count, int growBy) {
    if (count < 0) return false;
    if (growBy != -1) m_nGrowBy = growBy;
    if (count == 0) {
        RemoveAll();
        return true;
    }
    if (!m_pData) {
        std::string* data = new (std::nothrow) std::string[size_t(count)];
        if (!data) return false;
        m_pData = data;
        m_nSize = m_nMaxSize = count;
        return true;
    }
    if (count > m_nMaxSize) {
        int capacity = velmora::NewCapacity(m_nMaxSize, m_nGrowBy, m_nSize, count);
        std::string* data = new (std::nothrow) std::string[size_t(capacity)];
        if (!data) return false;
        for (int i = 0; i < m_nSize; ++i) data[i].swap(m_pData[i]);
        delete[] m_pData;
        m_pData = data;
        m_nMaxSize = capacity;
    } else {
        // Slots cut off give their memory back.
        for (int i = count; i < m_nSize; ++i) std::string().swap(m_pData[i]);
    }
    m_nSize = count;
    return true;
}

int CSPStringArray::Add(const std::string& value) {
    int index = m_nSize;
    if (index == INT_MAX || !SetSize(index + 1)) return -1;
    m_pData[index] = value;
    return index;
}

bool CSPStringArray::InsertAt(int index, const std::string& value, int count) {
    if (index < 0 || count < 1) return false;
    if (index < m_nSize) {
        int oldSize = m_nSize;
        if (int64_t(oldSize) + count > INT_MAX || !SetSize(oldSize + count)) return false;
        for (int i = oldSize - 1; i >= index; --i) m_pData[i + count].swap(m_pData[i]);
    } else {
        if (int64_t(index) + count > INT_MAX || !SetSize(index + count)) return false;
    }
    for (int i = 0; i < count; ++i) m_pData[index + i] = value;
    return true;
}

bool CSPStringArray::RemoveAt(int index, int count) {
    if (index < 0 || count < 0 || int64_t(index) + count > m_nSize) return false;
    for (int i = index; i + count < m_nSize; ++i) m_pData[i].swap(m_pData[i + count]);
    for (int i = m_nSize - count; i < m_nSize; ++i) std::string().swap(m_pData[i]);
    m_nSize -= count;
    return true;
}

void CSPStringArray::RemoveAll() {
    delete[] m_pData;
    m_pData = nullptr;
    m_nSize = m_nMaxSize = 0;
}

bool CSPStringArray::Copy(const CSPStringArray& other) {
    if (this == &other) return true;
    if (!SetSize(other.m_nSize)) return false;
    for (int i = 0; i < m_nSize; ++i) m_pData[i] = other.m_pData[i];
    return true;
}

bool CSPStringArray::Append(const std::vector<std::string>& items) {
    const int oldSize = m_nSize;
    if (int64_t(oldSize) + int64_t(items.size()) > INT_MAX || !SetSize(oldSize + int(items.size()))) return false;
    for (size_t i = 0; i < items.size(); ++i) m_pData[oldSize + int(i)] = items[i];
    return true;
}

std::vector<std::string> CSPStringArray::ToVector() const { return std::vector<std::string>(m_pData, m_pData + m_nSize); }

int SplitString(const char* text, const char* separator, CSPStringArray& out) {
    std::vector<std::string> pieces;
    int count = SplitString(text, separator, pieces);
    out.Append(pieces);
    return count;
}

bool ListDirectory(const char* folder, CSPStringArray& out, int kind) {
    std::vector<std::string> names;
    bool ok = ListDirectory(folder, names, kind);
    out.Append(names);
    return ok;
}

// ---- CSPMapStringToPtr ----

CSPMapStringToPtr::CSPMapStringToPtr(int blockSize)
    : m_pHashTable(nullptr), m_nHashTableSize(17), m_pFreeList(nullptr), m_nCount(0),
      m_nBlockSize(blockSize > 0 ? blockSize : 10) {}

CSPMapStringToPtr::~CSPMapStringToPtr() { RemoveAll(); }

void CSPMapStringToPtr::InitHashTable(UINT count, bool allocate) {
    if (count == 0) count = 1;  // a table of no buckets would divide by zero
    Assoc** old = m_pHashTable;
    const UINT oldSize = m_nHashTableSize;
    m_pHashTable = nullptr;
    // Entries already in the map move to the new table rather than going astray.
    if (allocate || m_nCount > 0) m_pHashTable = new Assoc*[count]();
    m_nHashTableSize = count;
    if (old && m_nCount > 0) {
        for (UINT b = 0; b < oldSize; ++b) {
            for (Assoc* a = old[b]; a;) {
                Assoc* next = a->pNext;
                a->nHashValue = HashKey(a->key.c_str()) % count;
                a->pNext = m_pHashTable[a->nHashValue];
                m_pHashTable[a->nHashValue] = a;
                a = next;
            }
        }
    }
    delete[] old;
}

UINT CSPMapStringToPtr::HashKey(const char* key) {
    uint32_t hash = 0;
    for (const char* p = key; *p; ++p) hash = hash * 33u + uint32_t(int32_t(static_cast<signed char>(*p)));
    return hash;
}

CSPMapStringToPtr::Assoc* CSPMapStringToPtr::GetAssocAt(const char* key, UINT& bucket) const {
    if (!key) key = "";
    bucket = HashKey(key) % m_nHashTableSize;
    if (!m_pHashTable) return nullptr;
    for (Assoc* a = m_pHashTable[bucket]; a; a = a->pNext)
        if (std::strcmp(a->key.c_str(), key) == 0) return a;
    return nullptr;
}

bool CSPMapStringToPtr::Lookup(const char* key, void*& value) const {
    UINT bucket;
    Assoc* a = GetAssocAt(key, bucket);
    if (!a) return false;
    value = a->value;
    return true;
}

void*& CSPMapStringToPtr::GetValueRef(const char* key) {
    if (!key) key = "";
    UINT bucket;
    if (Assoc* a = GetAssocAt(key, bucket)) return a->value;
    if (!m_pHashTable) InitHashTable(m_nHashTableSize, true);
    Assoc* a = NewAssoc();
    a->nHashValue = bucket;
    a->key = key;
    a->pNext = m_pHashTable[bucket];
    m_pHashTable[bucket] = a;
    return a->value;
}

bool CSPMapStringToPtr::RemoveKey(const char* key) {
    if (!m_pHashTable) return false;
    if (!key) key = "";
    UINT bucket = HashKey(key) % m_nHashTableSize;
    for (Assoc** link = &m_pHashTable[bucket]; *link; link = &(*link)->pNext) {
        if (std::strcmp((*link)->key.c_str(), key) == 0) {
            Assoc* a = *link;
            *link = a->pNext;
            FreeAssoc(a);
            return true;
        }
    }
    return false;
}

void CSPMapStringToPtr::RemoveAll() {
    delete[] m_pHashTable;
    m_pHashTable = nullptr;
    for (Assoc* block : m_blocks) delete[] block;
    m_blocks.clear();
    m_pFreeList = nullptr;
    m_nCount = 0;
}

CSPMapStringToPtr::Assoc* CSPMapStringToPtr::NewAssoc() {
    if (!m_pFreeList) {
        // A new block of associations goes onto the free list.
        Assoc* block = new Assoc[size_t(m_nBlockSize)];
        m_blocks.push_back(block);
        for (int i = m_nBlockSize - 1; i >= 0; --i) {
            block[i].pNext = m_pFreeList;
            m_pFreeList = &block[i];
        }
    }
    Assoc* a = m_pFreeList;
    m_pFreeList = a->pNext;
    a->pNext = nullptr;
    a->value = nullptr;
    ++m_nCount;
    return a;
}

void CSPMapStringToPtr::FreeAssoc(Assoc* a) {
    std::string().swap(a->key);
    a->value = nullptr;
    a->pNext = m_pFreeList;
    m_pFreeList = a;
    if (--m_nCount == 0) RemoveAll();  // the last entry gives every block back
}

CSPMapStringToPtr::Position CSPMapStringToPtr::GetStartPosition() const {
    if (!m_pHashTable) return nullptr;
    for (UINT b = 0; b < m_nHashTableSize; ++b)
        if (m_pHashTable[b]) return m_pHashTable[b];
    return nullptr;
}

void CSPMapStringToPtr::GetNextAssoc(Position& pos, std::string& key, void*& value) const {
    Assoc* a = static_cast<Assoc*>(pos);
    if (!a) return;
    key = a->key;
    value = a->value;
    Assoc* next = a->pNext;
    for (UINT b = a->nHashValue + 1; !next && b < m_nHashTableSize; ++b) next = m_pHashTable[b];
    pos = next;
}
