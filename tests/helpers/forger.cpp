// Another program on the desktop that sends a window of the extension
// messages it never asked for, with pointers into memory that is not the
// receiver's own (or is, but was never handed to it), then closes it.
//
// Usage: forger WINDOW ADDRESS SEED ROUNDS
//   WINDOW   the window's handle, decimal
//   ADDRESS  an address in the receiver that must stay untouched, decimal
// Exits 0 when the window took every message and was still there at the end.
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

unsigned long long Number(const char* text) { return std::strtoull(text, nullptr, 10); }

struct Rng {
  unsigned long long state;
  unsigned Next() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<unsigned>(state >> 33);
  }
  unsigned Below(unsigned n) { return Next() % n; }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) return 2;
  const HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(Number(argv[1])));
  const LPARAM theirs = static_cast<LPARAM>(Number(argv[2]));
  Rng rng{Number(argv[3]) | 1};
  const int rounds = static_cast<int>(Number(argv[4]));
  int lost = 0;
  for (int round = 0; round < rounds && IsWindow(window); ++round) {
    // A pointer the receiver never made: a low address, the address it must
    // keep, or any number.
    const LPARAM foreign[] = {0x10, theirs, static_cast<LPARAM>(rng.Next()) << 4};
    const LPARAM pointer = foreign[rng.Below(3)];
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    // Structures that the system copies into the receiver are built here,
    // with foreign pointers inside.
    DRAWITEMSTRUCT draw{};
    MEASUREITEMSTRUCT measure{};
    char text[32] = "Ombrelo";
    switch (rng.Below(5)) {
      case 0:
        message = WM_INITDIALOG;
        wParam = static_cast<WPARAM>(rng.Next());
        lParam = pointer;
        break;
      case 1: {
        WORD id = static_cast<WORD>(rng.Next());
        if (id == IDCANCEL || id == IDOK) id = 1000 + static_cast<WORD>(rng.Below(16));
        message = WM_COMMAND;
        wParam = MAKEWPARAM(id, rng.Below(2) ? BN_CLICKED : rng.Next());
        lParam = pointer;
        break;
      }
      case 2:
        message = WM_SETTEXT;
        for (int i = 0; i < 8; ++i) text[i] = static_cast<char>('A' + rng.Below(26));
        text[8] = '\0';
        lParam = reinterpret_cast<LPARAM>(text);
        break;
      case 3:
        message = WM_DRAWITEM;
        draw.CtlType = rng.Below(2) ? ODT_MENU : ODT_BUTTON;
        draw.itemID = rng.Below(64);
        draw.itemAction = ODA_DRAWENTIRE;
        draw.hwndItem = reinterpret_cast<HWND>(pointer);
        draw.hDC = reinterpret_cast<HDC>(pointer);
        draw.itemData = static_cast<ULONG_PTR>(pointer);
        lParam = reinterpret_cast<LPARAM>(&draw);
        break;
      default:
        message = WM_MEASUREITEM;
        measure.CtlType = ODT_MENU;
        measure.itemID = rng.Below(64);
        measure.itemData = static_cast<ULONG_PTR>(pointer);
        lParam = reinterpret_cast<LPARAM>(&measure);
        break;
    }
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &result)) ++lost;
  }
  const bool there = IsWindow(window) != FALSE;
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 10000, &result);
  return there && lost == 0 ? 0 : 1;
}
