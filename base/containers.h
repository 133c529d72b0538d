// The program's own containers: a root class, growable arrays of pointers, 32-bit values and
// strings, and a string-keyed hash map.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/platform.h"

// Root of the container and file classes.
class Object {
public:
    virtual ~Object() {}
};

namespace velmora {

// The step a full array grows by: an explicit grow-by, or for 0 one eighth of the size kept
// between 4 and 1024 so that Add in a loop stays linear.
int ArrayGrowStep(int growBy, int size);

// Array of plain values (pointers or 32-bit numbers) that it does not own.
template <class T>
class CSPPlainArray : public Object {
public:
    CSPPlainArray() : m_pData(nullptr), m_nSize(0), m_nMaxSize(0), m_nGrowBy(0) {}
    CSPPlainArray(const CSPPlainArray& other) : CSPPlainArray() { Copy(other); }
    CSPPlainArray& operator=(const CSPPlainArray& other) {
        if (this != &other) Copy(other);
        return *this;
    }
    ~CSPPlainArray() override { RemoveAll(); }

    int GetSize() const { return m_nSize; }
    int GetCount() const { return m_nSize; }
    int GetUpperBound() const { return m_nSize - 1; }
    bool IsEmpty() const { return m_nSize == 0; }
    int GetCapacity() const { return m_nMaxSize; }
    int GetGrowBy() const { return m_nGrowBy; }
    T* GetData() { return m_pData; }
    const T* GetData() const { return m_pData; }

    T GetAt(int i) const { return m_pData[i]; }
    void SetAt(int i, T value) { m_pData[i] = value; }
    T& ElementAt(int i) { return m_pData[i]; }
    T& operator[](int i) { return m_pData[i]; }
    T operator[](int i) const { return m_pData[i]; }

    // count elements, new ones zero; growBy -1 keeps the step. False for a negative count or
    // memory that could not be had (the array is then unchanged).
    bool SetSize(int count, int growBy = -1);
    // Index of the new element, -1 when memory could not be had.
    int Add(T value);
    // Inserts count copies at index (past the end the array grows to index + count).
    // False for a negative index, a count below 1 or no memory.
    bool InsertAt(int index, T value, int count = 1);
    // Removes count elements from index; false when the range is not inside the array.
    bool RemoveAt(int index, int count = 1);
    void RemoveAll();
    bool Copy(const CSPPlainArray& other);
    bool Append(const CSPPlainArray& other);

private:
    T* m_pData;
    int m_nSize;
    int m_nMaxSize;
    int m_nGrowBy;
};

extern template class CSPPlainArray<void*>;
extern template class CSPPlainArray<DWORD>;

}  // namespace velmora

class CSPPtrArray : public velmora::CSPPlainArray<void*> {};
class CSPDWordArray : public velmora::CSPPlainArray<DWORD> {};

// Array of strings it owns.
class CSPStringArray : public Object {
public:
    CSPStringArray();
    CSPStringArray(const CSPStringArray& other);
    CSPStringArray& operator=(const CSPStringArray& other);
    ~CSPStringArray() override;

    int GetSize() const { return m_nSize; }
    int GetCount() const { return m_nSize; }
    int GetUpperBound() const { return m_nSize - 1; }
    bool IsEmpty() const { return m_nSize == 0; }
    int GetCapacity() const { return m_nMaxSize; }
    const std::string& GetAt(int i) const { return m_pData[i]; }
    void SetAt(int i, const std::string& value) { m_pData[i] = value; }
    std::string& ElementAt(int i) { return m_pData[i]; }
    std::string& operator[](int i) { return m_pData[i]; }
    const std::string& operator[](int i) const { return m_pData[i]; }

    // New slots hold empty strings, slots cut off are released; count 0 releases the buffer.
    bool SetSize(int count, int growBy = -1);
    int Add(const std::string& value);
    bool InsertAt(int index, const std::string& value, int count = 1);
    bool RemoveAt(int index, int count = 1);
    void RemoveAll();
    bool Copy(const CSPStringArray& other);
    bool Append(const std::vector<std::string>& items);
    std::vector<std::string> ToVector() const;

private:
    std::string* m_pData;
    int m_nSize;
    int m_nMaxSize;
    int m_nGrowBy;
};

// SplitString and ListDirectory (base/text.h) appending to a string array.
int SplitString(const char* text, const char* separator, CSPStringArray& out);
bool ListDirectory(const char* folder, CSPStringArray& out, int kind);

// String-keyed hash map of untyped values. It never rehashes: the owner sizes the table.
class CSPMapStringToPtr : public Object {
public:
    struct Assoc {
        Assoc* pNext;
        UINT nHashValue;  // the bucket index
        std::string key;
        void* value;
    };
    typedef void* Position;

    explicit CSPMapStringToPtr(int blockSize = 10);
    CSPMapStringToPtr(const CSPMapStringToPtr&) = delete;
    CSPMapStringToPtr& operator=(const CSPMapStringToPtr&) = delete;
    ~CSPMapStringToPtr() override;

    int GetCount() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }
    UINT GetHashTableSize() const { return m_nHashTableSize; }

    // Frees the bucket table and, when asked, allocates an empty one of count buckets (at least 1).
    // Entries already in the map are kept and spread over the new table.
    void InitHashTable(UINT count, bool allocate = true);
    static UINT HashKey(const char* key);
    // The key's association (null when missing); bucket receives the key's bucket index.
    Assoc* GetAssocAt(const char* key, UINT& bucket) const;
    bool Lookup(const char* key, void*& value) const;
    // The value slot of the key, inserting the key with a null value when it is missing.
    void*& GetValueRef(const char* key);
    void*& operator[](const char* key) { return GetValueRef(key); }
    void SetAt(const char* key, void* value) { GetValueRef(key) = value; }
    bool RemoveKey(const char* key);
    void RemoveAll();

    // Iteration in bucket order: pos is null after the last entry.
    Position GetStartPosition() const;
    void GetNextAssoc(Position& pos, std::string& key, void*& value) const;

private:
    Assoc* NewAssoc();
    void FreeAssoc(Assoc* assoc);

    Assoc** m_pHashTable;
    UINT m_nHashTableSize;
    std::vector<Assoc*> m_blocks;
    Assoc* m_pFreeList;
    int m_nCount;
    int m_nBlockSize;
};
