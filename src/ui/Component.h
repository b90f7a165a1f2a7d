#pragma once
// A small component model: owners that free what they own, names, a loading
// state, and published properties reachable by name (what the word-table
// component and the forms need, nothing more).
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ombrelo::ui {

class TPersistent;

// Value of a published property: a string, an ordinal or an object.
struct PropValue {
  enum class Kind { None, String, Ordinal, Object };
  Kind kind = Kind::None;
  std::string str;
  int64_t ord = 0;
  TPersistent* obj = nullptr;

  static PropValue String(std::string s) {
    PropValue v;
    v.kind = Kind::String;
    v.str = std::move(s);
    return v;
  }
  static PropValue Ordinal(int64_t n) {
    PropValue v;
    v.kind = Kind::Ordinal;
    v.ord = n;
    return v;
  }
  static PropValue Object(TPersistent* o) {
    PropValue v;
    v.kind = Kind::Object;
    v.obj = o;
    return v;
  }
};

// Compares names the way the framework does: letters A to Z without regard to case.
bool SameName(std::string_view a, std::string_view b);
// Lower-cases the letters A to Z only.
std::string LowerAZ(std::string_view s);

class TPersistent {
 public:
  virtual ~TPersistent() = default;
  virtual std::string ClassName() const = 0;
  // Published properties by name. False when the object has no such property
  // (or it cannot take the value); callers skip such properties silently.
  virtual bool GetProperty(std::string_view name, PropValue& value) const;
  virtual bool SetProperty(std::string_view name, const PropValue& value);
  bool HasProperty(std::string_view name) const;

  // Typed helpers over the two calls above.
  bool GetString(std::string_view name, std::string& out) const;
  bool GetOrdinal(std::string_view name, int64_t& out) const;
  TPersistent* GetObject(std::string_view name) const;
  bool SetString(std::string_view name, const std::string& value);
  bool SetOrdinal(std::string_view name, int64_t value);
};

// A font description: Name, CharSet, Height (negative: character height in pixels).
class TFont : public TPersistent {
 public:
  std::string ClassName() const override { return "TFont"; }
  bool GetProperty(std::string_view name, PropValue& value) const override;
  bool SetProperty(std::string_view name, const PropValue& value) override;

  std::string Name = "MS Sans Serif";
  int CharSet = DEFAULT_CHARSET;
  int Height = -11;
  COLORREF Color = 0;

  // Called after a property has been set by name, or by Changed(); the
  // font's user (a form) re-creates its font handle.
  std::function<void()> OnChange;
  void Changed() {
    if (OnChange) OnChange();
  }
};

enum ComponentStateFlag : unsigned { csLoading = 1, csDesigning = 2 };

class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  std::string ClassName() const override { return "TComponent"; }
  bool GetProperty(std::string_view name, PropValue& value) const override;
  bool SetProperty(std::string_view name, const PropValue& value) override;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(static_cast<size_t>(index)); }
  // Finds an owned component by name (A-Z without regard to case); an empty name finds nothing.
  TComponent* FindComponent(std::string_view name) const;

  unsigned ComponentState() const { return state_; }
  bool IsLoading() const { return (state_ & csLoading) != 0; }
  bool IsDesigning() const { return (state_ & csDesigning) != 0; }
  void SetDesigning(bool on);

  // Streaming: the owner and its components are marked as loading while their
  // properties are set; EndLoading clears the mark and notifies each of them.
  void BeginLoading();
  void EndLoading();

 protected:
  // Called once loading is complete.
  virtual void Loaded() {}
  // Frees the owned components now, last made first (a form frees its
  // controls before its window goes).
  void DestroyComponents();

 private:
  TComponent* owner_;
  std::string name_;
  std::vector<TComponent*> components_;
  unsigned state_ = 0;
};

}  // namespace ombrelo::ui
