#pragma once
// The IUnknown of the module's COM objects: one small reference-counted
// base that answers QueryInterface from an interface table, and counts the
// live objects that DllCanUnloadNow reads.
#include <windows.h>
#include <objbase.h>

#include <initializer_list>

#include "server/ClassFactory.h"

namespace ombrelo {

// One row of an interface table: an interface identifier and the object's
// pointer for it (several identifiers may share one pointer, as
// IContextMenu, IContextMenu2 and IContextMenu3 do).
struct InterfaceEntry {
  const IID& iid;
  void* pointer;
};

// The pointer the table holds for riid; null when riid is not in it.
// IID_IUnknown is answered only where the table lists it.
inline void* FindInterface(std::initializer_list<InterfaceEntry> table, REFIID riid) {
  for (const InterfaceEntry& entry : table)
    if (entry.iid == riid) return entry.pointer;
  return nullptr;
}

// A COM object that implements Interfaces (no aggregation). Its table is
// the interfaces in the order given; the first one also stands for
// IUnknown, the object's identity. A new object holds one reference, which
// its maker hands on or drops; the last Release deletes it.
template <class... Interfaces>
class ComObject : public Interfaces... {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) final {
    if (!ppv) return E_POINTER;
    *ppv = riid == IID_IUnknown ? Identity()
                                : FindInterface({{__uuidof(Interfaces), static_cast<Interfaces*>(this)}...}, riid);
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() final { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() final {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

 protected:
  ComObject() { InterlockedIncrement(&LiveObjectCount); }
  virtual ~ComObject() { InterlockedDecrement(&LiveObjectCount); }

 private:
  void* Identity() {
    void* const pointers[] = {static_cast<Interfaces*>(this)...};
    return pointers[0];
  }

  LONG refs_ = 1;
};

}  // namespace ombrelo
