#include "ui/Component.h"

#include <algorithm>

namespace ombrelo::ui {

namespace {
char LowerAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAsciiLetter(a[i]) != LowerAsciiLetter(b[i])) return false;
  return true;
}

std::string LowerAZ(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAsciiLetter(c);
  return out;
}

bool TPersistent::GetProperty(std::string_view, PropValue&) const { return false; }
bool TPersistent::SetProperty(std::string_view, const PropValue&) { return false; }

bool TPersistent::HasProperty(std::string_view name) const {
  PropValue v;
  return GetProperty(name, v);
}

bool TPersistent::GetString(std::string_view name, std::string& out) const {
  PropValue v;
  if (!GetProperty(name, v) || v.kind != PropValue::Kind::String) return false;
  out = v.str;
  return true;
}

bool TPersistent::GetOrdinal(std::string_view name, int64_t& out) const {
  PropValue v;
  if (!GetProperty(name, v) || v.kind != PropValue::Kind::Ordinal) return false;
  out = v.ord;
  return true;
}

TPersistent* TPersistent::GetObject(std::string_view name) const {
  PropValue v;
  if (!GetProperty(name, v) || v.kind != PropValue::Kind::Object) return nullptr;
  return v.obj;
}

bool TPersistent::SetString(std::string_view name, const std::string& value) {
  return SetProperty(name, PropValue::String(value));
}

bool TPersistent::SetOrdinal(std::string_view name, int64_t value) {
  return SetProperty(name, PropValue::Ordinal(value));
}

bool TFont::GetProperty(std::string_view name, PropValue& value) const {
  if (SameName(name, "Name")) value = PropValue::String(Name);
  else if (SameName(name, "CharSet")) value = PropValue::Ordinal(CharSet);
  else if (SameName(name, "Height")) value = PropValue::Ordinal(Height);
  else if (SameName(name, "Color")) value = PropValue::Ordinal(Color);
  else return false;
  return true;
}

bool TFont::SetProperty(std::string_view name, const PropValue& value) {
  if (SameName(name, "Name") && value.kind == PropValue::Kind::String) Name = value.str;
  else if (SameName(name, "CharSet") && value.kind == PropValue::Kind::Ordinal) CharSet = static_cast<int>(value.ord & 0xFF);
  else if (SameName(name, "Height") && value.kind == PropValue::Kind::Ordinal) Height = static_cast<int>(value.ord);
  else if (SameName(name, "Color") && value.kind == PropValue::Kind::Ordinal) Color = static_cast<COLORREF>(value.ord);
  else return false;
  Changed();
  return true;
}

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
  // Owned components go first, last made first.
  DestroyComponents();
  if (owner_) {
    auto& list = owner_->components_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* child = components_.back();
    components_.pop_back();
    child->owner_ = nullptr;
    delete child;
  }
}

bool TComponent::GetProperty(std::string_view name, PropValue& value) const {
  if (SameName(name, "Name")) {
    value = PropValue::String(name_);
    return true;
  }
  return false;
}

bool TComponent::SetProperty(std::string_view name, const PropValue& value) {
  if (SameName(name, "Name") && value.kind == PropValue::Kind::String) {
    name_ = value.str;
    return true;
  }
  return false;
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameName(c->Name(), name)) return c;
  return nullptr;
}

void TComponent::SetDesigning(bool on) {
  if (on) state_ |= csDesigning;
  else state_ &= ~static_cast<unsigned>(csDesigning);
}

void TComponent::BeginLoading() {
  state_ |= csLoading;
  for (TComponent* c : components_) c->state_ |= csLoading;
}

void TComponent::EndLoading() {
  // The owner's components are told first, then the owner, as streaming does.
  std::vector<TComponent*> children = components_;
  for (TComponent* c : children) {
    c->state_ &= ~static_cast<unsigned>(csLoading);
    c->Loaded();
  }
  state_ &= ~static_cast<unsigned>(csLoading);
  Loaded();
}

}  // namespace ombrelo::ui
