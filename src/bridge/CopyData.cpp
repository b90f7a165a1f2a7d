#include "bridge/CopyData.h"

namespace ombrelo {

bool SendCopyData(ULONG_PTR code, const std::string& text, HWND window, UINT timeoutMs) {
  if (!window) return false;
  COPYDATASTRUCT record{};
  record.dwData = code;
  record.cbData = static_cast<DWORD>(text.size() + 1);
  record.lpData = const_cast<char*>(text.c_str());
  DWORD_PTR result = 0;
  // Like SendMessageA the receiver handles the message before this returns,
  // but a receiver that hangs can no longer freeze the shell.
  return SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record),
                             SMTO_NORMAL | SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
}

}  // namespace ombrelo
