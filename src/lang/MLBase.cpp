#include "lang/MLBase.h"

#include <windows.h>

namespace ombrelo {

unsigned char InitialLanguage = 0;
std::string StringDllFileName;

namespace {
// The system's ANSI lower-case mapping for the user's locale.
std::string AnsiLower(std::string_view s) {
  std::string out(s);
  if (!out.empty()) CharLowerBuffA(out.data(), static_cast<DWORD>(out.size()));
  return out;
}
}  // namespace

TBaseMultiLang::TBaseMultiLang(ui::TComponent* owner) : ui::TComponent(owner) {}

std::string TBaseMultiLang::GetWord(std::string_view id) const { return GetWordIn(id, activeLanguage_); }

std::string TBaseMultiLang::GetWordIn(std::string_view id, unsigned char language) const {
  const size_t L = languages_;
  if (language >= L) language = activeLanguage_;
  const std::string wanted = AnsiLower(id);
  // Only complete entries are examined; the first match wins.
  for (size_t p = 0; p + L < words_.size(); p += L + 1) {
    if (AnsiLower(words_[p]) != wanted) continue;
    const std::string& text = words_[p + language + 1];
    if (text.empty() && defaultEnabled_ && defaultLanguage_ < L) return words_[p + defaultLanguage_ + 1];
    return text;
  }
  std::string res = wanted;
  if (IdNotFoundError) IdNotFoundError(const_cast<TBaseMultiLang*>(this), wanted, res);
  return res;
}

void TBaseMultiLang::SetDefaultLanguage(unsigned char value) {
  if (value >= languages_ || value == defaultLanguage_) return;
  defaultLanguage_ = value;
  SetActiveLanguage(activeLanguage_);
}

void TBaseMultiLang::SetDefaultEnabled(bool value) {
  if (value == defaultEnabled_) return;
  defaultEnabled_ = value;
  SetActiveLanguage(activeLanguage_);
}

void TBaseMultiLang::SetLanguages(unsigned char value) {
  if (value == 0 || value == languages_) return;
  languages_ = value;
}

void TBaseMultiLang::SetActiveLanguage(unsigned char value) {
  if (value >= languages_) return;
  activeLanguage_ = value;
}

void TBaseMultiLang::SetSwitchPositions(TSwitchPositions mode) { switchPositions_ = mode; }

void TBaseMultiLang::Loaded() {
  if (IsDesigning()) return;
  SetActiveLanguage(InitialLanguage);
}

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
  else return ui::TComponent::SetProperty(name, value);
  return true;
}

}  // namespace ombrelo
