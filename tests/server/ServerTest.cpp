// The COM server as the shell meets it: the exports of the real DLL, the
// class factory, registration through the system's regsvr32, and objects
// made with CoCreateInstance from the registered class.
#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

#include <atomic>
#include <thread>
#include <vector>

#include "server/Process.h"
#include "support/TestSupport.h"

namespace {

const CLSID kClsid = {0x67C63340, 0x679B, 0x11D2, {0x92, 0xEE, 0x00, 0x00, 0x21, 0x47, 0x4C, 0x15}};
const char kId[] = "{67C63340-679B-11D2-92EE-000021474C15}";
const char kApproved[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

std::string ClassKey() { return std::string("CLSID\\") + kId; }
std::string InprocKey() { return ClassKey() + "\\InprocServer32"; }
std::string HandlerKey() { return std::string("*\\shellex\\ContextMenuHandlers\\") + kId; }

bool KeyExists(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// A REG_SZ value; found = false when the key or the value is missing or of another type.
std::string ReadSz(HKEY root, const std::string& path, const char* name, bool* found = nullptr) {
  if (found) *found = false;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  char buffer[1024] = {};
  DWORD size = sizeof(buffer) - 1, type = 0;
  LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return {};
  if (found) *found = true;
  return buffer;
}

struct Exports {
  HMODULE dll = nullptr;
  HRESULT(WINAPI* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(WINAPI* canUnloadNow)() = nullptr;

  Exports() {
    dll = LoadLibraryA(testsupport::DllPath().c_str());
    if (!dll) return;
    getClassObject = reinterpret_cast<decltype(getClassObject)>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    canUnloadNow = reinterpret_cast<decltype(canUnloadNow)>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
  }
  ~Exports() {
    if (dll) FreeLibrary(dll);
  }
  IClassFactory* Factory() {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(S_OK, getClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    return factory;
  }
};

// The registration that the CoCreateInstance tests rely on.
void RegisterBuiltDll() { ASSERT_EQ(0, servertest::RunRegsvr32(testsupport::DllPath(), false)); }

}  // namespace

TEST(ServerExports, OtherClassIdsAreRefusedWithNullPointer) {
  Exports e;
  ASSERT_TRUE(e.getClassObject && e.canUnloadNow);
  const CLSID other = {0x67C63340, 0x679B, 0x11D2, {0x92, 0xEE, 0x00, 0x00, 0x21, 0x47, 0x4C, 0x16}};
  for (const CLSID* id : {&other, &IID_IClassFactory, &CLSID_NULL}) {
    void* ppv = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, e.getClassObject(*id, IID_IClassFactory, &ppv));
    EXPECT_EQ(nullptr, ppv);
  }
  // The right class, but an interface the factory does not have.
  void* ppv = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, e.getClassObject(kClsid, IID_IDispatch, &ppv));
  EXPECT_EQ(nullptr, ppv);
  EXPECT_EQ(S_OK, e.canUnloadNow());
}

TEST(ServerExports, CanUnloadNowFollowsObjectsAndFactoryReferences) {
  Exports e;
  ASSERT_TRUE(e.getClassObject && e.canUnloadNow);
  EXPECT_EQ(S_OK, e.canUnloadNow());

  IClassFactory* factory = e.Factory();
  ASSERT_NE(nullptr, factory);
  EXPECT_EQ(S_FALSE, e.canUnloadNow());  // a factory reference is held
  IContextMenu* menu = nullptr;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu)));
  factory->Release();
  EXPECT_EQ(S_FALSE, e.canUnloadNow());  // a handler object lives
  EXPECT_EQ(2u, menu->AddRef());         // the count starts at 0: CreateInstance's reference is the only one
  EXPECT_EQ(1u, menu->Release());
  EXPECT_EQ(0u, menu->Release());
  EXPECT_EQ(S_OK, e.canUnloadNow());

  // A server lock keeps the module too, through the factory's own count.
  factory = e.Factory();
  ASSERT_EQ(S_OK, factory->LockServer(TRUE));
  factory->Release();
  EXPECT_EQ(S_FALSE, e.canUnloadNow());
  factory = e.Factory();
  ASSERT_EQ(S_OK, factory->LockServer(FALSE));
  factory->Release();
  EXPECT_EQ(S_OK, e.canUnloadNow());
}

TEST(ServerExports, CreateInstanceHandsOutOneObjectOrNone) {
  Exports e;
  IClassFactory* factory = e.Factory();
  ASSERT_NE(nullptr, factory);

  // An interface the handler lacks: no pointer, and the object is gone at once.
  void* ppv = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IDispatch, &ppv));
  EXPECT_EQ(nullptr, ppv);
  EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IUnknown, nullptr));

  // Every interface of the handler leads to the same object.
  IUnknown* unknown = nullptr;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&unknown)));
  factory->Release();
  for (const IID* iid : {&IID_IShellExtInit, &IID_IContextMenu, &IID_IContextMenu2, &IID_IContextMenu3,
                         &IID_ISupportErrorInfo}) {
    IUnknown* itf = nullptr;
    ASSERT_EQ(S_OK, unknown->QueryInterface(*iid, reinterpret_cast<void**>(&itf)));
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, itf->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(unknown, identity);
    identity->Release();
    itf->Release();
  }
  ISupportErrorInfo* info = nullptr;
  ASSERT_EQ(S_OK, unknown->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&info)));
  EXPECT_EQ(S_OK, info->InterfaceSupportsErrorInfo(IID_IContextMenu3));
  EXPECT_EQ(S_OK, info->InterfaceSupportsErrorInfo(IID_IShellExtInit));
  EXPECT_EQ(S_FALSE, info->InterfaceSupportsErrorInfo(IID_IDispatch));
  info->Release();
  IUnknown* none = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(E_NOINTERFACE, unknown->QueryInterface(IID_IShellFolder, reinterpret_cast<void**>(&none)));
  EXPECT_EQ(nullptr, none);
  EXPECT_EQ(0u, unknown->Release());
  EXPECT_EQ(S_OK, e.canUnloadNow());
}

namespace {
// An aggregating object: records what the inner object delegates to it.
class Outer : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    ++queries;
    if (riid == IID_IUnknown) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    if (inner) return inner->QueryInterface(riid, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  IUnknown* inner = nullptr;
  ULONG refs = 1;
  int queries = 0;
};
}  // namespace

TEST(ServerExports, AggregationFollowsComRule) {
  Exports e;
  IClassFactory* factory = e.Factory();
  ASSERT_NE(nullptr, factory);
  Outer outer;

  void* ppv = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_IContextMenu, &ppv));
  EXPECT_EQ(nullptr, ppv);
  EXPECT_EQ(S_FALSE, e.canUnloadNow());  // the factory is still held

  ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)));
  factory->Release();
  EXPECT_EQ(1u, outer.refs);  // the inner object's own reference is not the outer's

  // Interfaces of the inner object delegate identity and counting to the outer one.
  IShellExtInit* init = nullptr;
  ASSERT_EQ(S_OK, outer.inner->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)));
  EXPECT_EQ(2u, outer.refs);
  IUnknown* identity = nullptr;
  int queriesBefore = outer.queries;
  ASSERT_EQ(S_OK, init->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
  EXPECT_EQ(&outer, identity);
  EXPECT_EQ(queriesBefore + 1, outer.queries);
  identity->Release();
  init->Release();
  EXPECT_EQ(1u, outer.refs);

  EXPECT_EQ(S_FALSE, e.canUnloadNow());
  EXPECT_EQ(0u, outer.inner->Release());  // the aggregator lets go of the inner object
  EXPECT_EQ(S_OK, e.canUnloadNow());
}

TEST(ServerExports, CountsStayExactWhenTwoThreadsMakeAndReleaseObjects) {
  Exports e;
  ASSERT_TRUE(e.getClassObject);
  std::atomic<int> failures{0};
  auto hammer = [&] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    for (int round = 0; round < 2000; ++round) {
      IClassFactory* factory = nullptr;
      if (FAILED(e.getClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
        ++failures;
        break;
      }
      for (int i = 0; i < 100; ++i) {
        IContextMenu* menu = nullptr;
        if (FAILED(factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu)))) {
          ++failures;
          continue;
        }
        IContextMenu3* menu3 = nullptr;
        if (SUCCEEDED(menu->QueryInterface(IID_IContextMenu3, reinterpret_cast<void**>(&menu3)))) menu3->Release();
        menu->Release();
      }
      factory->Release();
    }
    CoUninitialize();
  };
  std::thread a(hammer), b(hammer);
  a.join();
  b.join();
  EXPECT_EQ(0, failures.load());
  EXPECT_EQ(S_OK, e.canUnloadNow());
}

TEST(ServerVersion, ResourceNamesTheExtensionAndItsVersion) {
  const std::string dll = testsupport::DllPath();
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(dll.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> data(size);
  ASSERT_TRUE(GetFileVersionInfoA(dll.c_str(), 0, size, data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
  EXPECT_EQ(MAKELONG(0, 2), fixed->dwFileVersionMS);
  EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);

  struct Translation {
    WORD language, codePage;
  }* translation = nullptr;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &len));
  char query[64];
  wsprintfA(query, "\\StringFileInfo\\%04x%04x\\FileDescription", translation->language, translation->codePage);
  char* text = nullptr;
  ASSERT_TRUE(VerQueryValueA(data.data(), query, reinterpret_cast<void**>(&text), &len));
  EXPECT_STREQ("Ombrelo Shell Extension", text);
}

TEST(ServerRegistration, RegisteringWritesEveryEntry) {
  ASSERT_EQ(0, servertest::RunRegsvr32(testsupport::DllPath(), true));
  ASSERT_EQ(0, servertest::RunRegsvr32(testsupport::DllPath(), false));

  EXPECT_EQ("Vantisk Extensions", ReadSz(HKEY_CLASSES_ROOT, ClassKey(), nullptr));
  EXPECT_EQ(testsupport::DllPath(), ReadSz(HKEY_CLASSES_ROOT, InprocKey(), nullptr));  // no blank: no quotes
  EXPECT_EQ("Apartment", ReadSz(HKEY_CLASSES_ROOT, InprocKey(), "ThreadingModel"));
  EXPECT_EQ("Vantisk Extensions", ReadSz(HKEY_LOCAL_MACHINE, kApproved, kId));
  EXPECT_EQ(kId, ReadSz(HKEY_CLASSES_ROOT, HandlerKey(), nullptr));

  // Registering again over existing entries succeeds and changes nothing.
  ASSERT_EQ(0, servertest::RunRegsvr32(testsupport::DllPath(), false));
  EXPECT_EQ(testsupport::DllPath(), ReadSz(HKEY_CLASSES_ROOT, InprocKey(), nullptr));
}

TEST(ServerRegistration, UnregisteringTwiceSucceedsAndKeepsTheApprovedKey) {
  RegisterBuiltDll();
  HKEY extra = nullptr;  // the handler key goes with its subkeys
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, (HandlerKey() + "\\Extra").c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &extra, nullptr));
  RegCloseKey(extra);
  ASSERT_EQ(0, servertest::RunRegsvr32(testsupport::DllPath(), true));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, InprocKey()));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey()));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, HandlerKey()));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers"));
  bool found = true;
  ReadSz(HKEY_LOCAL_MACHINE, kApproved, kId, &found);
  EXPECT_FALSE(found);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kApproved));

  EXPECT_EQ(0, servertest::RunRegsvr32(testsupport::DllPath(), true));

  // Without an "Approved" key, un-registering makes the key (and leaves it empty).
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, kApproved));
  EXPECT_EQ(0, servertest::RunRegsvr32(testsupport::DllPath(), true));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kApproved));
}

TEST(ServerRegistration, ShellMakesTheHandlerFromTheRegisteredClass) {
  RegisterBuiltDll();
  IContextMenu* menu = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IContextMenu,
                                   reinterpret_cast<void**>(&menu)));
  IShellExtInit* init = nullptr;
  EXPECT_EQ(S_OK, menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)));
  if (init) {
    // Without a data object the handler takes no part in the menu.
    EXPECT_EQ(E_FAIL, init->Initialize(nullptr, nullptr, nullptr));
    init->Release();
  }
  menu->Release();
}

TEST(ServerRegistration, PathWithBlankIsQuotedAndTheShellStillLoadsIt) {
  testsupport::TempDir temp;
  const std::string folder = temp.path() + "dir with blank\\";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  const std::string copy = folder + "OmbreloShell.dll";
  ASSERT_TRUE(CopyFileA(testsupport::DllPath().c_str(), copy.c_str(), FALSE));

  ASSERT_EQ(0, servertest::RunRegsvr32(copy, false));
  EXPECT_EQ("\"" + copy + "\"", ReadSz(HKEY_CLASSES_ROOT, InprocKey(), nullptr));

  IContextMenu* menu = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IContextMenu,
                                   reinterpret_cast<void**>(&menu)));
  EXPECT_NE(nullptr, GetModuleHandleA(copy.c_str()));  // the copy in the folder with a blank was loaded
  menu->Release();
  CoFreeUnusedLibrariesEx(0, 0);

  RegisterBuiltDll();
  EXPECT_EQ(testsupport::DllPath(), ReadSz(HKEY_CLASSES_ROOT, InprocKey(), nullptr));
}

// A 64-bit DLL registers through the 64-bit regsvr32 into the 64-bit registry
// view and a 32-bit DLL through the 32-bit one into the 32-bit view, so both
// builds can stand side by side; neither build's entry appears in the other view.
TEST(ServerRegistration, EachBuildRegistersInItsOwnRegistryView) {
  RegisterBuiltDll();
  const REGSAM own = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
  const REGSAM other = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  auto inprocIn = [](REGSAM view) {
    HKEY key = nullptr;
    std::string value;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, InprocKey().c_str(), 0, KEY_READ | view, &key) == ERROR_SUCCESS) {
      char buffer[1024] = {};
      DWORD size = sizeof(buffer) - 1;
      if (RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS)
        value = buffer;
      RegCloseKey(key);
    }
    return value;
  };
  EXPECT_EQ(testsupport::DllPath(), inprocIn(own));
  EXPECT_NE(testsupport::DllPath(), inprocIn(other));
}

// regsvr32 /n /i:user registers in the current user's classes only (in this
// build's view), without any machine entry or "Approved" value; /u /n /i:user
// removes exactly that.
TEST(ServerRegistration, UserInstallWritesAndRemovesOnlyTheUsersClasses) {
  const std::string dll = testsupport::DllPath();
  const std::string user = "Software\\Classes\\";
  ASSERT_EQ(0, servertest::RunRegsvr32(dll, true));
  ASSERT_EQ(0, servertest::RunRegsvr32With("/n /i:user", dll));

  EXPECT_EQ("Vantisk Extensions", ReadSz(HKEY_CURRENT_USER, user + ClassKey(), nullptr));
  EXPECT_EQ(dll, ReadSz(HKEY_CURRENT_USER, user + InprocKey(), nullptr));
  EXPECT_EQ("Apartment", ReadSz(HKEY_CURRENT_USER, user + InprocKey(), "ThreadingModel"));
  EXPECT_EQ(kId, ReadSz(HKEY_CURRENT_USER, user + HandlerKey(), nullptr));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, user + ClassKey()));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, user + HandlerKey()));
  bool approved = true;
  ReadSz(HKEY_LOCAL_MACHINE, kApproved, kId, &approved);
  EXPECT_FALSE(approved);

  EXPECT_NE(0, servertest::RunRegsvr32With("/n /i:everyone", dll));  // only "user" is known
  ASSERT_EQ(0, servertest::RunRegsvr32With("/u /n /i:user", dll));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, user + ClassKey()));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, user + HandlerKey()));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, user + "*\\shellex\\ContextMenuHandlers"));
  EXPECT_EQ(0, servertest::RunRegsvr32With("/u /n /i:user", dll));  // twice: nothing left to remove
}
