#include "Screenshot.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "Text.h"
#include "common/Handles.h"

namespace host {

using Microsoft::WRL::ComPtr;

namespace {

constexpr UINT kEndMenu = WM_APP + 1;
constexpr wchar_t kClassName[] = L"ShellMenuHostWindow";
// Where the menu appears on the screen, as after a right-click near the
// top-left corner of a folder window: its submenus open to the right.
constexpr int kMenuX = 24, kMenuY = 24;

BOOL CALLBACK CollectMenuRect(HWND window, LPARAM list) {
  wchar_t name[16] = {};
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == GetCurrentProcessId() && IsWindowVisible(window) && GetClassNameW(window, name, 16) &&
      wcscmp(name, L"#32768") == 0) {
    RECT r{};
    if (GetWindowRect(window, &r) && r.right > r.left && r.bottom > r.top)
      reinterpret_cast<std::vector<RECT>*>(list)->push_back(r);
  }
  return TRUE;
}

// Screen rectangles of this process's open menus (windows of class "#32768").
std::vector<RECT> OpenMenuRects() {
  std::vector<RECT> rects;
  EnumWindows(CollectMenuRect, reinterpret_cast<LPARAM>(&rects));
  return rects;
}

template <class Pred>
bool WaitFor(Pred pred, int timeoutMs) {
  for (int waited = 0;; waited += 20) {
    if (pred()) return true;
    if (waited >= timeoutMs) return false;
    Sleep(20);
  }
}

void PressKey(HWND owner, WPARAM key) {
  // Keys posted to the owner's thread reach the menu's modal loop, which
  // reads the keyboard messages of its thread.
  LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC)) << 16;
  LPARAM extended = (key == VK_DOWN || key == VK_RIGHT || key == VK_UP || key == VK_LEFT) ? (1 << 24) : 0;
  PostMessageW(owner, WM_KEYDOWN, key, 1 | scan | extended);
  PostMessageW(owner, WM_KEYUP, key, static_cast<LPARAM>(1 | scan | extended | (1u << 30) | (1u << 31)));
}

struct Image {
  int width = 0, height = 0;
  std::vector<BYTE> bgra;  // top-down rows, 4 bytes a pixel
};

// The screen area of the open menus; pixels outside every menu are transparent.
bool CaptureOpenMenus(Image& image) {
  std::vector<RECT> rects = OpenMenuRects();
  if (rects.empty()) return false;
  RECT box = rects[0];
  for (const RECT& r : rects) UnionRect(&box, &box, &r);
  int width = box.right - box.left, height = box.bottom - box.top;
  ombrelo::WindowDc screen(nullptr);
  ombrelo::UniqueDc memory(CreateCompatibleDC(screen.get()));
  if (!screen.get() || !memory) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  ombrelo::UniqueBitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) return false;
  {
    ombrelo::SelectedObject selected(memory.get(), bitmap.get());
    if (!BitBlt(memory.get(), 0, 0, width, height, screen.get(), box.left, box.top, SRCCOPY | CAPTUREBLT)) return false;
    GdiFlush();
  }
  image.width = width;
  image.height = height;
  image.bgra.assign(static_cast<const BYTE*>(bits), static_cast<const BYTE*>(bits) + size_t(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      POINT p{box.left + x, box.top + y};
      bool inside = false;
      for (const RECT& r : rects) inside = inside || PtInRect(&r, p);
      BYTE* px = &image.bgra[(size_t(y) * width + x) * 4];
      if (inside) px[3] = 255;
      else px[0] = px[1] = px[2] = px[3] = 0;
    }
  }
  return true;
}

bool SavePng(const Image& image, const std::wstring& file, std::string& error) {
  ComPtr<IWICImagingFactory> factory;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  if (SUCCEEDED(hr)) hr = factory->CreateStream(&stream);
  if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(file.c_str(), GENERIC_WRITE);
  if (FAILED(hr)) {
    error = "cannot write " + Utf8(file) + ": " + HresultText(hr);
    return false;
  }
  if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
  if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(&frame, nullptr);
  if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
  if (SUCCEEDED(hr)) hr = frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height));
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
  if (SUCCEEDED(hr) && format != GUID_WICPixelFormat32bppBGRA) hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
  if (SUCCEEDED(hr))
    hr = frame->WritePixels(static_cast<UINT>(image.height), static_cast<UINT>(image.width) * 4,
                            static_cast<UINT>(image.bgra.size()), const_cast<BYTE*>(image.bgra.data()));
  if (SUCCEEDED(hr)) hr = frame->Commit();
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  if (FAILED(hr)) {
    error = "cannot encode the PNG " + Utf8(file) + ": " + HresultText(hr);
    return false;
  }
  return true;
}

}  // namespace

HostWindow::HostWindow(const Handler& handler) : handler_(handler) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);  // fails harmlessly when registered already
  window_ = CreateWindowExW(0, kClassName, L"shellmenu-host", WS_OVERLAPPEDWINDOW, 0, 0, 360, 240, nullptr, nullptr,
                            instance, this);
}

HostWindow::~HostWindow() {
  if (window_) DestroyWindow(window_);
}

LRESULT CALLBACK HostWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  LRESULT result = 0;
  switch (message) {
    case WM_INITMENUPOPUP:
      ++self->counts_.initMenuPopup;
      ForwardMenuMessage(self->handler_, message, wParam, lParam, &result);
      return 0;
    case WM_MEASUREITEM:
      if (reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->CtlType != ODT_MENU) break;
      ++self->counts_.measureItem;
      ForwardMenuMessage(self->handler_, message, wParam, lParam, &result);
      return TRUE;
    case WM_DRAWITEM:
      if (reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->CtlType != ODT_MENU) break;
      ++self->counts_.drawItem;
      ForwardMenuMessage(self->handler_, message, wParam, lParam, &result);
      return TRUE;
    case WM_MENUCHAR:
      ++self->counts_.menuChar;
      if (ForwardMenuMessage(self->handler_, message, wParam, lParam, &result)) return result;
      break;
    case kEndMenu:
      EndMenu();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool CaptureMenu(HostWindow& window, HMENU menu, const std::vector<int>& downs, const std::wstring& file,
                 std::string& error) {
  HWND owner = window.get();
  ShowWindow(owner, SW_SHOWNORMAL);
  UpdateWindow(owner);
  SetForegroundWindow(owner);  // a menu of a background window would close at once

  std::atomic<bool> tracking{true};
  std::string threadError;
  Image image;
  std::thread driver([&] {
    if (!WaitFor([] { return !OpenMenuRects().empty(); }, 5000)) {
      threadError = "the menu did not appear";
    } else {
      for (size_t level = 0; level < downs.size() && threadError.empty(); ++level) {
        for (int i = 0; i < downs[level]; ++i) PressKey(owner, VK_DOWN);
        PressKey(owner, VK_RIGHT);
        if (!WaitFor([&] { return OpenMenuRects().size() >= level + 2; }, 5000))
          threadError = "submenu " + std::to_string(level + 1) + " did not open";
      }
      // Wait until the menus are fully drawn: two captures in a row alike.
      Image previous;
      for (int attempt = 0; attempt < 30 && threadError.empty(); ++attempt) {
        Sleep(150);
        if (!CaptureOpenMenus(image)) {
          threadError = "the open menus could not be captured";
        } else if (image.width == previous.width && image.height == previous.height && image.bgra == previous.bgra) {
          break;
        }
        previous = image;
      }
    }
    // Close the menu; if it does not go, press Escape as a person would.
    PostMessageW(owner, kEndMenu, 0, 0);
    for (int i = 0; i < 10 && !WaitFor([&] { return !tracking.load(); }, 1000); ++i) {
      PressKey(owner, VK_ESCAPE);
      PostMessageW(owner, WM_CANCELMODE, 0, 0);
    }
  });
  TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, kMenuX, kMenuY, owner,
                   nullptr);
  tracking = false;
  driver.join();
  PostMessageW(owner, WM_NULL, 0, 0);
  ShowWindow(owner, SW_HIDE);
  if (!threadError.empty()) {
    error = threadError;
    return false;
  }
  return SavePng(image, file, error);
}

}  // namespace host
