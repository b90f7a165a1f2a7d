#include "MenuTree.h"

#include <algorithm>
#include <set>

#include "Text.h"

namespace host {

std::string MenuItem::Label() const {
  if (IsSeparator()) return "----------";
  if (!caption.empty()) return Quoted(caption);
  if (type & MFT_OWNERDRAW) return "(owner-drawn)";
  if (bitmap || (type & MFT_BITMAP)) return "(bitmap)";
  return Quoted(caption);
}

namespace {

std::string HelpText(const Handler& handler, UINT offset, std::string& failure) {
  char ansi[1024] = {};
  HRESULT hr = handler.menu->GetCommandString(offset, GCS_HELPTEXTA, nullptr, ansi, sizeof ansi);
  if (SUCCEEDED(hr)) {
    ansi[sizeof ansi - 1] = '\0';
    // ANSI texts are shown the way the shell shows them: in the system's code page.
    return Utf8FromCodePage(ansi, CP_ACP);
  }
  wchar_t wide[1024] = {};
  if (SUCCEEDED(handler.menu->GetCommandString(offset, GCS_HELPTEXTW, nullptr, reinterpret_cast<char*>(wide),
                                               ARRAYSIZE(wide)))) {
    wide[ARRAYSIZE(wide) - 1] = L'\0';
    return Utf8(wide);
  }
  failure = HresultText(hr);
  return {};
}

bool IsSystemBitmap(HBITMAP bitmap) {
  auto value = reinterpret_cast<INT_PTR>(bitmap);
  return value == -1 || (value >= 1 && value <= 11);  // HBMMENU_CALLBACK, HBMMENU_SYSTEM .. HBMMENU_POPUP_MINIMIZE
}

std::vector<MenuItem> Read(HMENU menu, const CommandRange& range, const Handler& handler, bool top) {
  std::vector<MenuItem> items;
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_DATA | MIIM_BITMAP | MIIM_STRING;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
    MenuItem item;
    item.position = i;
    item.id = info.wID;
    item.type = info.fType;
    item.state = info.fState;
    item.submenu = info.hSubMenu;
    item.bitmap = info.hbmpItem;
    item.data = info.dwItemData;
    if (info.cch > 0 && !(info.fType & (MFT_OWNERDRAW | MFT_BITMAP | MFT_SEPARATOR))) {
      std::wstring text(info.cch + 1, L'\0');
      info.fMask = MIIM_STRING;
      info.dwTypeData = text.data();
      info.cch = static_cast<UINT>(text.size());
      if (GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) {
        text.resize(wcsnlen(text.c_str(), text.size()));
        item.caption = Utf8(text);
      }
    }
    item.hostItem = top && item.id >= 1 && item.id <= kHostIdLast;
    if (!item.hostItem && item.id >= range.first && item.id <= range.last) item.offset = item.id - range.first;
    if (item.IsCommand()) {
      std::string failure;
      item.help = HelpText(handler, *item.offset, failure);
      if (item.help.empty()) item.help = failure.empty() ? "(empty)" : "(none: " + failure + ")";
      else item.help = Quoted(item.help);
    }
    if ((item.type & MFT_OWNERDRAW) && !item.hostItem) {
      MEASUREITEMSTRUCT measure{};
      measure.CtlType = ODT_MENU;
      measure.itemID = item.id;
      measure.itemData = item.data;
      if (ForwardMenuMessage(handler, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure), nullptr))
        item.measured = SIZE{static_cast<LONG>(measure.itemWidth), static_cast<LONG>(measure.itemHeight)};
    }
    if (item.submenu && !item.hostItem) {
      // As when the user opens the submenu: a handler may fill it only now.
      ForwardMenuMessage(handler, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(item.submenu), MAKELPARAM(i, FALSE),
                         nullptr);
      item.children = Read(item.submenu, range, handler, false);
    }
    items.push_back(std::move(item));
  }
  return items;
}

std::string Attributes(const MenuItem& item) {
  std::string out;
  if (item.IsPopup()) out += " >";
  if (item.IsSeparator()) return out;  // some systems mark separators greyed; that says nothing
  std::vector<std::string> marks;
  if (item.state & MF_GRAYED) marks.push_back("greyed");
  else if (item.state & MF_DISABLED) marks.push_back("disabled");
  if (item.state & MFS_DEFAULT) marks.push_back("default");
  if (item.state & MFS_CHECKED) marks.push_back("checked");
  if (item.type & MFT_OWNERDRAW) {
    marks.push_back(item.measured ? "owner-drawn " + std::to_string(item.measured->cx) + "x" +
                                        std::to_string(item.measured->cy)
                                  : "owner-drawn");
  }
  if (item.bitmap && IsSystemBitmap(item.bitmap)) {
    marks.push_back("bitmap (system)");
  } else if (item.bitmap) {
    BITMAP info{};
    if (GetObjectW(item.bitmap, sizeof info, &info))
      marks.push_back("bitmap " + std::to_string(info.bmWidth) + "x" + std::to_string(info.bmHeight));
    else
      marks.push_back("bitmap (invalid handle)");
  } else if (item.type & MFT_BITMAP) {
    marks.push_back("bitmap");
  }
  if (!marks.empty()) {
    out += "  [";
    for (size_t i = 0; i < marks.size(); ++i) out += (i ? ", " : "") + marks[i];
    out += "]";
  }
  return out;
}

void Format(const std::vector<MenuItem>& items, int depth, std::string& out) {
  for (const MenuItem& item : items) {
    std::string column = item.hostItem ? "host" : item.offset ? std::string("+").append(std::to_string(*item.offset)) : "-";
    out += std::string(column.size() < 6 ? 6 - column.size() : 0, ' ') + column + "  ";
    out += std::string(static_cast<size_t>(depth) * 4, ' ') + item.Label() + Attributes(item);
    if (!item.help.empty()) out += "  help: " + item.help;
    out += "\n";
    Format(item.children, depth + 1, out);
  }
}

bool Matches(const std::string& caption, const std::string& segment) {
  std::string plain = WithoutAmpersands(caption);
  std::string wanted = WithoutAmpersands(segment);
  if (wanted.empty()) return false;
  return plain == wanted || plain.substr(0, plain.find('\t')) == wanted;
}

std::string Listing(const std::vector<MenuItem>& items, bool top) {
  std::string out;
  for (const MenuItem& item : items) {
    if (item.IsSeparator() || (top && item.hostItem)) continue;
    out += out.empty() ? "" : ", ";
    out += item.Label();
    if (item.IsPopup()) out += " >";
    else if (item.caption.empty() && item.offset) out += " (offset " + std::to_string(*item.offset) + ")";
  }
  return out.empty() ? "it holds no items" : "it holds: " + out;
}

void CollectOffsets(const std::vector<MenuItem>& items, std::set<UINT>& offsets) {
  for (const MenuItem& item : items) {
    if (item.IsCommand()) offsets.insert(*item.offset);
    if (!item.hostItem) CollectOffsets(item.children, offsets);
  }
}

const MenuItem* SearchOffset(const std::vector<MenuItem>& items, UINT offset) {
  for (const MenuItem& item : items) {
    if (item.IsCommand() && *item.offset == offset) return &item;
    if (item.hostItem) continue;
    if (const MenuItem* found = SearchOffset(item.children, offset)) return found;
  }
  return nullptr;
}

}  // namespace

std::vector<MenuItem> ReadMenu(HMENU menu, const CommandRange& range, const Handler& handler) {
  return Read(menu, range, handler, true);
}

std::string FormatTree(const std::vector<MenuItem>& items) {
  std::string out;
  Format(items, 0, out);
  return out;
}

std::vector<const MenuItem*> FindByPath(const std::vector<MenuItem>& items, const std::string& path,
                                        std::string& error) {
  std::vector<std::string> segments;
  for (size_t start = 0;;) {
    size_t slash = path.find('/', start);
    segments.push_back(path.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  const std::vector<MenuItem>* level = &items;
  std::vector<const MenuItem*> chain;
  for (size_t i = 0; i < segments.size(); ++i) {
    bool top = chain.empty();
    const MenuItem* found = nullptr;
    for (const MenuItem& item : *level) {
      if (item.IsSeparator() || (top && item.hostItem)) continue;
      if (Matches(item.caption, segments[i])) {
        found = &item;
        break;
      }
    }
    if (!found) {
      error = "no item " + Quoted(segments[i]) +
              (top ? std::string(" among the handler's items") : " in " + chain.back()->Label()) + "; " +
              Listing(*level, top);
      return {};
    }
    chain.push_back(found);
    if (i + 1 < segments.size()) {
      if (!found->IsPopup()) {
        error = found->Label() + " has no submenu, so " + Quoted(segments[i + 1]) + " cannot be in it";
        return {};
      }
      level = &found->children;
    }
  }
  return chain;
}

const MenuItem* FindByOffset(const std::vector<MenuItem>& items, UINT offset, std::string& error) {
  if (const MenuItem* found = SearchOffset(items, offset)) return found;
  std::set<UINT> offsets;
  CollectOffsets(items, offsets);
  error = "offset " + std::to_string(offset) + " is not a command in the menu";
  if (offsets.empty()) {
    error += "; the handler added no commands";
  } else {
    error += "; its command offsets are:";
    for (UINT o : offsets) error.append(" ").append(std::to_string(o));
  }
  return nullptr;
}

const MenuItem* FirstHandlerPopup(const std::vector<MenuItem>& items) {
  auto it = std::find_if(items.begin(), items.end(), [](const MenuItem& i) { return !i.hostItem && i.IsPopup(); });
  return it == items.end() ? nullptr : &*it;
}

}  // namespace host
