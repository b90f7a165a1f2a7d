#pragma once
// TBaseMultiLang: the multi-language word-table component. It holds the
// table `Words` (key, text for language 0, text for language 1, ... per
// entry) and looks texts up by key in the active language.
#include <functional>
#include "common/Failure.h"
#include <string>
#include <string_view>
#include <vector>

#include "ui/Component.h"

namespace ombrelo {

enum TSwitchPositions { spNone, spControlsOnly, spFormAndControls };
enum TTranslateEdits { teNever, teReadOnly, teAlways };

class TBaseMultiLang;
using TBeforeLanguageChange = std::function<void(TBaseMultiLang* Sender, unsigned char NewLanguage, bool& AllowIt)>;
using TAfterLanguageChanged = std::function<void(TBaseMultiLang* Sender, unsigned char NewLanguage)>;
using TIdNotFoundError = std::function<void(TBaseMultiLang* Sender, const std::string& id, std::string& Res)>;

using TStrings = std::vector<std::string>;

// Module-wide settings shared by every word-table component of the module.
extern unsigned char InitialLanguage;   // language every component switches to once loaded
extern std::string StringDllFileName;   // string DLL whose table replaces the words once loaded

// Raised when a string DLL cannot be loaded; the message names the file.
class EStringDllError : public Failure {
 public:
  using Failure::Failure;
};

class TBaseMultiLang : public ui::TComponent {
 public:
  explicit TBaseMultiLang(ui::TComponent* owner);
  ~TBaseMultiLang() override = default;

  std::string ClassName() const override { return "TBaseMultiLang"; }
  bool GetProperty(std::string_view name, ui::PropValue& value) const override;
  bool SetProperty(std::string_view name, const ui::PropValue& value) override;

  // Lookup.
  std::string GetWord(std::string_view id) const;
  std::string GetWordIn(std::string_view id, unsigned char language) const;

  // Published properties.
  std::string About() const { return "3.76"; }
  void SetAbout(std::string_view) {}
  unsigned char DefaultLanguage() const { return defaultLanguage_; }
  void SetDefaultLanguage(unsigned char value);
  bool DefaultEnabled() const { return defaultEnabled_; }
  void SetDefaultEnabled(bool value);
  unsigned char Languages() const { return languages_; }
  void SetLanguages(unsigned char value);
  unsigned char ActiveLanguage() const { return activeLanguage_; }
  void SetActiveLanguage(unsigned char value);
  TStrings& Words() { return words_; }
  const TStrings& Words() const { return words_; }
  void SetWords(const TStrings& words) { words_ = words; }
  virtual const TStrings& DoNot() const { return doNot_; }
  virtual void SetDoNot(const TStrings& list) { doNot_ = list; }
  virtual TSwitchPositions SwitchPositions() const { return switchPositions_; }
  virtual void SetSwitchPositions(TSwitchPositions mode);
  virtual TTranslateEdits TranslateEdits() const { return translateEdits_; }
  virtual void SetTranslateEdits(TTranslateEdits mode) { translateEdits_ = mode; }
  virtual const TStrings& Positions() const { return positions_; }
  virtual void SetPositions(const TStrings& list) { positions_ = list; }
  virtual const TStrings& CharSets() const { return charSets_; }
  virtual void SetCharSets(const TStrings& list) { charSets_ = list; }

  TBeforeLanguageChange BeforeLanguageChange;
  TAfterLanguageChanged AfterLanguageChanged;
  TIdNotFoundError IdNotFoundError;

  // Per-component hook of the language switch: position designates the
  // entry's key on entry and must designate the next string to examine on return.
  virtual void TranslateComponent(ui::TComponent* component, int& position) = 0;

  // Replaces the words with the one-language table of the block of the
  // string DLL that names the owner's class ("%") or the owner ("$").
  // Raises EStringDllError when the library cannot be loaded; a DLL without
  // a matching block leaves everything as it was.
  void LoadStringDll(const std::string& fileName);

 protected:
  void Loaded() override;

  // Position keeping for the switch (and for hooks that move components):
  // the prefix of an object's entry in Positions, and saving and restoring
  // the object's Left, Top, Width and Height for the active language.
  static std::string PositionPrefix(const ui::TComponent& component);
  void SavePosition(ui::TPersistent& object, const std::string& prefix);
  void RestorePosition(ui::TPersistent& object, const std::string& prefix);

 private:
  void SaveFont();
  void RestoreFont();
  void SavePositions();
  void TranslateWords();
  int FindPosition(const std::string& prefix) const;

  unsigned char defaultLanguage_ = 0;
  bool defaultEnabled_ = false;
  unsigned char languages_ = 2;
  unsigned char activeLanguage_ = 0;
  TStrings words_;
  TStrings doNot_;
  TSwitchPositions switchPositions_ = spNone;
  TTranslateEdits translateEdits_ = teReadOnly;
  TStrings positions_;
  TStrings charSets_;
};

}  // namespace ombrelo
