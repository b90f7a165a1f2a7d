#include "lang/MLBase.h"

#include <windows.h>

#include <algorithm>
#include <charconv>

#include "common/Handles.h"
#include "ui/Forms.h"

namespace ombrelo {

unsigned char InitialLanguage = 0;
std::string StringDllFileName;

namespace {

const char kFormKey[] = "%Form%";
const char kFormPrefix[] = "%Form%,";

const char kValueTooHigh[] = "Value must not be higher than\rnumber of available languages.";
const char kAtLeastOne[] = "You have to provide at least 1 language.";
const char kDecreaseActive[] =
    "You are decreasing the number of languages.\rEntries for the removed language will be lost.\r"
    "The currently displayed language will be deleted, too.\r\rDo you really want to continue?";
const char kDecrease[] =
    "You are decreasing the number of languages.\rEntries for the removed language will be lost.\r\rContinue?";
const char kDropPositions[] =
    "You are going to drop the positions.\rCurrently different values are stored for each language,\r"
    "Do you want to drop these values?";
const char kDropFormPositions[] =
    "You are going to drop the positions for the form.\rCurrently different values are stored for each "
    "language.\rDo you want to drop these values?";
const char kCancelled[] = "Cancelled.";

const char* const kGeometry[] = {"Left", "Top", "Width", "Height"};

// The system's ANSI lower-case mapping for the user's locale.
std::string AnsiLower(std::string_view s) {
  std::string out(s);
  if (!out.empty()) CharLowerBuffA(out.data(), static_cast<DWORD>(out.size()));
  return out;
}

// Whether key, lower-cased as AnsiLower does it, equals wanted (lower-cased
// already). Lower-casing keeps the length; ASCII letters map alike in every
// code page, so only keys beyond ASCII need the system's mapping. Every text
// of a menu is looked up this way, so no key is copied for a comparison.
bool LowerEquals(std::string_view key, const std::string& wanted) {
  if (key.size() != wanted.size()) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(key[i]);
    if (c >= 0x80) return AnsiLower(key) == wanted;
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
    if (c != static_cast<unsigned char>(wanted[i])) return false;
  }
  return true;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

// An entry of Positions split at its commas; an empty last item is dropped.
std::vector<std::string> PositionItems(const std::string& entry) {
  std::vector<std::string> items = Split(entry, ',');
  if (!items.empty() && items.back().empty()) items.pop_back();
  return items;
}

std::string Join(const std::vector<std::string>& parts, char separator) {
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) text += separator;
    text += parts[i];
  }
  return text;
}

// Whether any language's value differs from language 0's.
bool HasDifferentValues(const std::string& entry) {
  std::vector<std::string> items = PositionItems(entry);
  for (size_t i = 2; i < items.size(); ++i)
    if (items[i] != items[1]) return true;
  return false;
}

bool ParseInt(std::string_view text, int& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && !text.empty();
}

// The file-name part of a path: what follows the last backslash or colon.
std::string FileNamePart(const std::string& path) {
  size_t at = path.find_last_of("\\:");
  return at == std::string::npos ? path : path.substr(at + 1);
}

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A string of the DLL's string table; false when the identifier has none.
bool LoadDllString(HMODULE dll, UINT id, std::string& text) {
  char buffer[300];
  int n = LoadStringA(dll, id, buffer, static_cast<int>(sizeof(buffer)));
  if (n <= 0) return false;
  text.assign(buffer, static_cast<size_t>(n));
  return true;
}

constexpr UINT kLastStringId = 0xFFFF;  // string identifiers are 16-bit

}  // namespace

TBaseMultiLang::TBaseMultiLang(ui::TComponent* owner) : ui::TComponent(owner) {}

std::string TBaseMultiLang::GetWord(std::string_view id) const { return GetWordIn(id, activeLanguage_); }

std::string TBaseMultiLang::GetWordIn(std::string_view id, unsigned char language) const {
  const size_t L = languages_;
  if (language >= L) language = activeLanguage_;
  const std::string wanted = AnsiLower(id);
  // Only complete entries are examined; the first match wins.
  for (size_t p = 0; p + L < words_.size(); p += L + 1) {
    if (!LowerEquals(words_[p], wanted)) continue;
    const std::string& text = words_[p + language + 1];
    if (text.empty() && defaultEnabled_ && defaultLanguage_ < L) return words_[p + defaultLanguage_ + 1];
    return text;
  }
  std::string res = wanted;
  if (IdNotFoundError) IdNotFoundError(const_cast<TBaseMultiLang*>(this), wanted, res);
  return res;
}

// ---- the language switch ----------------------------------------------------

void TBaseMultiLang::SetActiveLanguage(unsigned char value) {
  if (value >= languages_) {
    ui::MessageDlg(kValueTooHigh, ui::TMsgDlgType::mtInformation, ui::mbCancel);
    return;
  }
  bool allowIt = true;
  if (BeforeLanguageChange) BeforeLanguageChange(this, value, allowIt);
  if (!allowIt) return;

  SaveFont();
  SavePositions();
  activeLanguage_ = value;
  RestoreFont();
  if (Owner() && SwitchPositions() == spFormAndControls) RestorePosition(*Owner(), kFormPrefix);
  TranslateWords();

  if (AfterLanguageChanged) AfterLanguageChanged(this, activeLanguage_);
}

void TBaseMultiLang::TranslateWords() {
  ui::TComponent* owner = Owner();
  const int step = languages_ + 1;
  // The text of entry p for a language; missing strings of an incomplete last entry read as empty.
  auto text = [this](size_t index) { return index < words_.size() ? words_[index] : std::string(); };
  int p = 0;
  while (p >= 0 && static_cast<size_t>(p) < words_.size()) {
    const std::string key = words_[static_cast<size_t>(p)];
    if (key == kFormKey) {
      if (owner && owner->HasProperty("Caption")) {
        std::string caption = text(static_cast<size_t>(p) + activeLanguage_ + 1);
        if (caption.empty() && defaultEnabled_) caption = text(static_cast<size_t>(p) + defaultLanguage_ + 1);
        owner->SetString("Caption", caption);
      }
      p += step;
      continue;
    }
    ui::TComponent* component = nullptr;
    try {
      component = owner ? owner->FindComponent(key) : nullptr;
    } catch (...) {
      return;  // a failed search ends the walk
    }
    if (!component) {
      p += step;
      continue;
    }
    const int before = p;
    try {
      TranslateComponent(component, p);
    } catch (...) {
    }
    // A hook that failed before moving on (or moved backwards) would repeat forever.
    if (p <= before) p = before + step;
  }
}

void TBaseMultiLang::SaveFont() {
  ui::TComponent* owner = Owner();
  ui::TPersistent* font = owner ? owner->GetObject("Font") : nullptr;
  std::string name;
  int64_t charSet = 0;
  if (!font || !font->GetString("Name", name) || !font->GetOrdinal("CharSet", charSet)) return;
  const std::string value = name + "," + std::to_string(charSet);
  // Languages without a string of their own get the font in use now.
  while (charSets_.size() < languages_) charSets_.push_back(value);
  charSets_[activeLanguage_] = value;
}

void TBaseMultiLang::RestoreFont() {
  ui::TComponent* owner = Owner();
  ui::TPersistent* font = owner ? owner->GetObject("Font") : nullptr;
  if (!font || charSets_.size() <= activeLanguage_) return;
  const std::string& value = charSets_[activeLanguage_];
  const size_t comma = value.find(',');
  if (font->HasProperty("Name")) font->SetString("Name", value.substr(0, comma));
  int charSet = 0;
  if (comma != std::string::npos && font->HasProperty("CharSet") && ParseInt(value.substr(comma + 1, 999), charSet))
    font->SetOrdinal("CharSet", charSet);
}

// ---- positions --------------------------------------------------------------

std::string TBaseMultiLang::PositionPrefix(const ui::TComponent& component) {
  return ui::LowerAZ(component.Name()) + ",";
}

int TBaseMultiLang::FindPosition(const std::string& prefix) const {
  for (size_t i = positions_.size(); i-- > 0;)
    if (positions_[i].compare(0, prefix.size(), prefix) == 0) return static_cast<int>(i);
  return -1;
}

void TBaseMultiLang::SavePositions() {
  ui::TComponent* owner = Owner();
  if (!owner || SwitchPositions() == spNone) return;
  if (SwitchPositions() == spFormAndControls) SavePosition(*owner, kFormPrefix);
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    ui::TComponent* component = owner->Components(i);
    if (!component->Name().empty()) SavePosition(*component, PositionPrefix(*component));
  }
}

void TBaseMultiLang::SavePosition(ui::TPersistent& object, const std::string& prefix) {
  std::vector<std::string> fields;
  bool any = false;
  for (const char* property : kGeometry) {
    int64_t v = 0;
    const bool has = object.GetOrdinal(property, v);
    fields.push_back(has ? std::to_string(v) : std::string());
    any = any || has;
  }
  if (!any) return;
  const std::string value = Join(fields, '.');
  const int index = FindPosition(prefix);
  if (index >= 0) {
    std::vector<std::string> items = PositionItems(positions_[static_cast<size_t>(index)]);
    while (items.size() < static_cast<size_t>(languages_) + 1) items.emplace_back();
    items[activeLanguage_ + 1u] = value;
    positions_[static_cast<size_t>(index)] = Join(items, ',');
  } else {
    std::string entry = prefix;
    for (int language = 0; language < languages_; ++language) entry += (language ? "," : "") + value;
    positions_.push_back(entry);
  }
}

void TBaseMultiLang::RestorePosition(ui::TPersistent& object, const std::string& prefix) {
  const int index = FindPosition(prefix);
  if (index < 0) return;
  const std::vector<std::string> items = PositionItems(positions_[static_cast<size_t>(index)]);
  if (items.size() <= activeLanguage_ + 1u || items[activeLanguage_ + 1u].empty()) return;
  // A value must hold four fields, a number for each property the object has;
  // anything else is skipped and the object stays where it is.
  const std::vector<std::string> fields = Split(items[activeLanguage_ + 1u], '.');
  if (fields.size() != 4) return;
  int numbers[4] = {};
  bool has[4] = {};
  for (size_t i = 0; i < 4; ++i) {
    has[i] = object.HasProperty(kGeometry[i]);
    if (has[i] && !ParseInt(fields[i], numbers[i])) return;
  }
  for (size_t i = 0; i < 4; ++i)
    if (has[i]) object.SetOrdinal(kGeometry[i], numbers[i]);
}

// ---- the other setters ------------------------------------------------------

void TBaseMultiLang::SetDefaultLanguage(unsigned char value) {
  if (value >= languages_) {
    ui::MessageDlg(kValueTooHigh, ui::TMsgDlgType::mtInformation, ui::mbCancel);
    return;
  }
  if (value == defaultLanguage_) return;
  defaultLanguage_ = value;
  SetActiveLanguage(activeLanguage_);  // captions pick up the new fallback
}

void TBaseMultiLang::SetDefaultEnabled(bool value) {
  if (value == defaultEnabled_) return;
  defaultEnabled_ = value;
  SetActiveLanguage(activeLanguage_);
}

void TBaseMultiLang::SetLanguages(unsigned char value) {
  const unsigned char current = languages_;
  if (value == current) return;
  if (value == 0) {
    // Every lookup needs a language: zero is refused (silently while loading).
    if (!IsLoading()) ui::MessageDlg(kAtLeastOne, ui::TMsgDlgType::mtInformation, ui::mbOK);
    return;
  }
  const size_t oldStep = current + 1u;
  const size_t entries = words_.size() / oldStep;
  TStrings words;
  if (value < current) {
    if (IsLoading()) {
      if (activeLanguage_ >= value) activeLanguage_ = 0;  // the switch at the end of loading follows
    } else if (activeLanguage_ >= value) {
      if (ui::MessageDlg(kDecreaseActive, ui::TMsgDlgType::mtConfirmation, ui::mbYes | ui::mbNo) != ui::mrYes)
        return;
      SetActiveLanguage(0);
      if (activeLanguage_ >= value) return;  // the switch was vetoed: nothing is removed
    } else if (ui::MessageDlg(kDecrease, ui::TMsgDlgType::mtConfirmation, ui::mbYes | ui::mbNo) != ui::mrYes) {
      return;
    }
    // Each entry keeps its key and the texts of the remaining languages.
    for (size_t k = 0; k < entries; ++k) {
      auto first = words_.begin() + static_cast<std::ptrdiff_t>(k * oldStep);
      words.insert(words.end(), first, first + 1 + value);
    }
    if (defaultLanguage_ >= value) defaultLanguage_ = 0;
  } else {
    // Each entry gets "?" for every new language.
    for (size_t k = 0; k < entries; ++k) {
      auto first = words_.begin() + static_cast<std::ptrdiff_t>(k * oldStep);
      words.insert(words.end(), first, first + static_cast<std::ptrdiff_t>(oldStep));
      words.insert(words.end(), value - current, "?");
    }
  }
  // Strings after the last complete entry stay as they were.
  words.insert(words.end(), words_.begin() + static_cast<std::ptrdiff_t>(entries * oldStep), words_.end());
  words_ = std::move(words);
  languages_ = value;
}

void TBaseMultiLang::SetSwitchPositions(TSwitchPositions mode) {
  if (mode == switchPositions_) return;
  if (mode == spNone) {
    for (size_t i = positions_.size(); i-- > 0;) {
      if (!HasDifferentValues(positions_[i])) continue;
      if (ui::MessageDlg(kDropPositions, ui::TMsgDlgType::mtWarning, ui::mbYes | ui::mbNo) != ui::mrYes) {
        ui::ShowMessage(kCancelled);
        return;
      }
    }
    positions_.clear();
  } else if (mode == spControlsOnly && switchPositions_ == spFormAndControls) {
    auto form = std::find_if(positions_.begin(), positions_.end(),
                             [](const std::string& e) { return e.compare(0, sizeof(kFormPrefix) - 1, kFormPrefix) == 0; });
    if (form != positions_.end()) {
      if (HasDifferentValues(*form) &&
          ui::MessageDlg(kDropFormPositions, ui::TMsgDlgType::mtWarning, ui::mbYes | ui::mbNo) != ui::mrYes) {
        ui::ShowMessage(kCancelled);
        return;
      }
      positions_.erase(form);
    }
  }
  switchPositions_ = mode;
}

// ---- loading ----------------------------------------------------------------

void TBaseMultiLang::Loaded() {
  if (IsDesigning()) return;
  SetActiveLanguage(InitialLanguage);
  if (StringDllFileName.empty()) return;
  if (FileExists(StringDllFileName)) LoadStringDll(StringDllFileName);
  else StringDllFileName = FileNamePart(StringDllFileName);
}

void TBaseMultiLang::LoadStringDll(const std::string& fileName) {
  // Loaded as data: only its string table is read, none of its code runs.
  UniqueLibrary dll(LoadLibraryExA(fileName.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!dll) throw EStringDllError("Cannot load string DLL \"" + fileName + "\".");

  ui::TComponent* owner = Owner();
  const std::string ownerClass = owner ? ui::LowerAZ(owner->ClassName()) : std::string();
  const std::string ownerName = owner ? ui::LowerAZ(owner->Name()) : std::string();
  // Blocks of a hundred identifiers from 1000 on; the first string of a
  // block names the class ("%") or the object ("$") that it is for.
  UINT block = 0;
  for (UINT id = 1000; id <= kLastStringId && block == 0; id += 100) {
    SetLastError(0);
    std::string text;
    LoadDllString(dll.get(), id, text);
    if (GetLastError() != 0) return;  // no such string: the words stay
    if (!owner || text.size() <= 2) continue;
    const std::string named = ui::LowerAZ(FileNamePart(text.substr(1)));
    if ((text[0] == '%' && named == ownerClass) || (text[0] == '$' && named == ownerName)) block = id;
  }
  if (block == 0) return;

  defaultLanguage_ = 0;
  activeLanguage_ = 0;
  languages_ = 1;
  words_.clear();
  // Key, text, key, text ...: a key without its text gets an empty one.
  for (UINT id = block + 1; id <= kLastStringId; ++id) {
    std::string text;
    if (LoadDllString(dll.get(), id, text)) {
      words_.push_back(text);
    } else if (words_.size() % 2 == 0) {
      break;
    } else {
      words_.emplace_back();
    }
  }
  SetActiveLanguage(0);
}

// ---- properties by name -----------------------------------------------------

bool TBaseMultiLang::GetProperty(std::string_view name, ui::PropValue& value) const {
  using ui::PropValue;
  using ui::SameName;
  if (SameName(name, "About")) value = PropValue::String(About());
  else if (SameName(name, "DefaultLanguage")) value = PropValue::Ordinal(defaultLanguage_);
  else if (SameName(name, "DefaultEnabled")) value = PropValue::Ordinal(defaultEnabled_ ? 1 : 0);
  else if (SameName(name, "Languages")) value = PropValue::Ordinal(languages_);
  else if (SameName(name, "ActiveLanguage")) value = PropValue::Ordinal(activeLanguage_);
  else if (SameName(name, "SwitchPositions")) value = PropValue::Ordinal(SwitchPositions());
  else if (SameName(name, "TranslateEdits")) value = PropValue::Ordinal(TranslateEdits());
  else return ui::TComponent::GetProperty(name, value);
  return true;
}

bool TBaseMultiLang::SetProperty(std::string_view name, const ui::PropValue& value) {
  using ui::PropValue;
  using ui::SameName;
  const bool ordinal = value.kind == PropValue::Kind::Ordinal;
  const auto byte = static_cast<unsigned char>(value.ord & 0xFF);
  if (SameName(name, "About")) return true;
  if (ordinal && SameName(name, "DefaultLanguage")) SetDefaultLanguage(byte);
  else if (ordinal && SameName(name, "DefaultEnabled")) SetDefaultEnabled(value.ord != 0);
  else if (ordinal && SameName(name, "Languages")) SetLanguages(byte);
  else if (ordinal && SameName(name, "ActiveLanguage")) SetActiveLanguage(byte);
  else if (ordinal && value.ord >= spNone && value.ord <= spFormAndControls && SameName(name, "SwitchPositions"))
    SetSwitchPositions(static_cast<TSwitchPositions>(value.ord));
  else if (ordinal && value.ord >= teNever && value.ord <= teAlways && SameName(name, "TranslateEdits"))
    SetTranslateEdits(static_cast<TTranslateEdits>(value.ord));
  else return ui::TComponent::SetProperty(name, value);
  return true;
}

}  // namespace ombrelo
