#include "lang/smlang.h"

namespace ombrelo {

bool TSmallMultiLang::SetProperty(std::string_view name, const ui::PropValue& value) {
  using ui::SameName;
  if (SameName(name, "DoNot") || SameName(name, "SwitchPositions") || SameName(name, "TranslateEdits") ||
      SameName(name, "Positions") || SameName(name, "CharSets"))
    return false;
  return TBaseMultiLang::SetProperty(name, value);
}

void TSmallMultiLang::TranslateComponent(ui::TComponent*, int& position) { position += Languages() + 1; }

}  // namespace ombrelo
