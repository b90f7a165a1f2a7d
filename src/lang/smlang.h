#pragma once
// TSmallMultiLang: the word-table component variant that translates no
// components and keeps no positions; its position and edit settings are
// read-only and keep their constructor values.
#include "lang/MLBase.h"

namespace ombrelo {

class TSmallMultiLang : public TBaseMultiLang {
 public:
  explicit TSmallMultiLang(ui::TComponent* owner) : TBaseMultiLang(owner) {}
  std::string ClassName() const override { return "TSmallMultiLang"; }

  // Read-only here: setting them changes nothing.
  void SetDoNot(const TStrings&) override {}
  void SetSwitchPositions(TSwitchPositions) override {}
  void SetTranslateEdits(TTranslateEdits) override {}
  void SetPositions(const TStrings&) override {}
  void SetCharSets(const TStrings&) override {}

  bool SetProperty(std::string_view name, const ui::PropValue& value) override;

  // Changes nothing and steps over the entry.
  void TranslateComponent(ui::TComponent* component, int& position) override;
};

}  // namespace ombrelo
