// List of pointers kept in a WDL_HeapBuf. The list does not own its elements unless asked to delete
// them (Delete/Empty with wantDelete). Not thread-safe.
#pragma once

#include "core/WDL_HeapBuf.h"

template <class T> class WDL_PtrList
{
public:
  explicit WDL_PtrList(int granularity = 4096) : mBuf(granularity) {}
  ~WDL_PtrList() = default; // elements are not deleted here

  int GetSize() const { return mBuf.GetSize(); }
  // Element at index, or null for an index outside the list.
  T* Get(int index) const { return index >= 0 && index < GetSize() ? mBuf.Get()[index] : nullptr; }
  T* const* GetList() const { return mBuf.Get(); }

  // Appends; returns the element, or null when memory ran out.
  T* Add(T* item) { return mBuf.Add(&item) ? item : nullptr; }
  T* Insert(int index, T* item)
  {
    const int n = GetSize();
    if (index < 0) index = 0;
    if (index > n) index = n;
    if (!mBuf.Add(&item)) return nullptr;
    T** list = mBuf.Get();
    memmove(list + index + 1, list + index, sizeof(T*) * (n - index));
    list[index] = item;
    return item;
  }
  int Find(const T* item) const
  {
    for (int i = 0; i < GetSize(); ++i)
      if (mBuf.Get()[i] == item) return i;
    return -1;
  }
  // Removes the element at index (deleting it when asked); out-of-range indexes are ignored.
  void Delete(int index, bool wantDelete = false)
  {
    const int n = GetSize();
    if (index < 0 || index >= n) return;
    T** list = mBuf.Get();
    T* item = list[index];
    memmove(list + index, list + index + 1, sizeof(T*) * (n - index - 1));
    mBuf.Resize(n - 1, false);
    if (wantDelete) delete item;
  }
  // Empties the list; with wantDelete the elements are deleted from last to first.
  void Empty(bool wantDelete = false)
  {
    if (wantDelete)
      for (int i = GetSize() - 1; i >= 0; --i)
      {
        T* item = mBuf.Get()[i];
        mBuf.Resize(i, false);
        delete item;
      }
    mBuf.Resize(0);
  }

private:
  WDL_TypedBuf<T*> mBuf;
};
