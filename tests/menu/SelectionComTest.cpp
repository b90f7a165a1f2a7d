// Initialize through the real DLL's class factory, as the shell calls it:
// its answers, and that thousands of calls leave handles and memory flat.
#include <gtest/gtest.h>
#include <shlobj.h>

#include "server/Process.h"
#include "support/DataObject.h"
#include "support/TestSupport.h"

namespace {

const CLSID kClsid = {0x67C63340, 0x679B, 0x11D2, {0x92, 0xEE, 0x00, 0x00, 0x21, 0x47, 0x4C, 0x15}};

class SelectionCom : public testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetProgramKey();
    dll_ = LoadLibraryA(testsupport::DllPath().c_str());
    ASSERT_NE(nullptr, dll_);
    auto get = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(dll_, "DllGetClassObject")));
    ASSERT_EQ(S_OK, get(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory_)));
  }
  void TearDown() override {
    if (factory_) factory_->Release();
    if (dll_) FreeLibrary(dll_);
  }

  HRESULT Initialize(IDataObject* data) {
    IShellExtInit* init = nullptr;
    if (FAILED(factory_->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init)))) return 0x7FFFFFFF;
    HRESULT hr = init->Initialize(nullptr, data, nullptr);
    init->Release();
    return hr;
  }
  HRESULT Initialize(const std::vector<std::string>& paths, testsupport::DropOptions options = {}) {
    IDataObject* data = testsupport::MakeDropDataObject(paths, options);
    HRESULT hr = Initialize(data);
    data->Release();
    return hr;
  }

  HMODULE dll_ = nullptr;
  IClassFactory* factory_ = nullptr;
};

}  // namespace

TEST_F(SelectionCom, InitializeAnswersWhetherTheHandlerTakesPart) {
  EXPECT_EQ(E_FAIL, Initialize(static_cast<IDataObject*>(nullptr)));
  testsupport::DropOptions failing;
  failing.failGetData = DV_E_FORMATETC;
  EXPECT_EQ(DV_E_FORMATETC, Initialize({"C:\\a.jpg"}, failing));
  EXPECT_EQ(S_OK, Initialize({"C:\\a.jpg"}));
  EXPECT_EQ(S_OK, Initialize({"C:\\a.txt", "C:\\b.GIF"}));
  EXPECT_EQ(E_FAIL, Initialize({"C:\\a.txt", "C:\\b.pcd"}));
  EXPECT_EQ(E_FAIL, Initialize({"C:\\page.html"}));
  EXPECT_EQ(E_FAIL, Initialize({"C:\\notes.txt"}));  // Ctrl is not held
  testsupport::SetProgramDword("Txt", "TxtPreview", 1);
  EXPECT_EQ(S_OK, Initialize({"C:\\notes.txt"}));
}

TEST_F(SelectionCom, ThousandsOfInitializeCallsLeaveHandlesAndMemoryFlat) {
  const std::string dir = "C:\\" + std::string(180, 'p') + "\\";
  const std::vector<std::vector<std::string>> selections = {
      {dir + "one.jpg"},
      {dir + "a.bmp", dir + "b.txt", dir + "c.png"},
      {dir + "letter.doc"},
      {dir + "page.html"},
      {dir + "x.txt", dir + "y.doc"},
      {}};
  testsupport::DropOptions failing;
  failing.failGetData = E_OUTOFMEMORY;
  auto round = [&](int i) {
    if (i % 7 == 6) {
      Initialize({dir + "z.jpg"}, failing);
    } else {
      testsupport::DropOptions options;
      options.wide = i % 2 == 1;
      Initialize(selections[static_cast<size_t>(i) % selections.size()], options);
    }
  };
  for (int i = 0; i < 300; ++i) round(i);  // warm-up: the system's own caches
  const DWORD handles = servertest::OpenHandleCount();
  const size_t bytes = servertest::CommittedBytes();
  for (int i = 0; i < 6000; ++i) round(i);
  EXPECT_LE(servertest::OpenHandleCount(), handles + 2);
  // An unreleased file list alone would grow by several megabytes.
  EXPECT_LT(servertest::CommittedBytes(), bytes + 1024 * 1024);
}
