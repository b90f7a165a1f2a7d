#pragma once
// TDataModule2: the data module that holds the word-table component ML1,
// and LookupText, through which every user-interface text is looked up.
#include <string>
#include <string_view>

#include "lang/smlang.h"

namespace ombrelo {

class TDataModule2 : public ui::TComponent {
 public:
  // Creating the data module loads the word table of ML1 (159 strings).
  explicit TDataModule2(ui::TComponent* owner);
  std::string ClassName() const override { return "TDataModule2"; }

  TSmallMultiLang* ML1;
};

// The stored word table: 53 entries of key, German text, English text.
extern const char* const kWordTable[];
extern const size_t kWordTableSize;

// The module-wide data module; created at module start-up, freed at shutdown.
extern TDataModule2* DataModule2;

// The text of a key in the active language; a missing key yields the key in lower case.
std::string LookupText(std::string_view key);
// The active language of ML1 (0 German, 1 English); 0 before start-up.
unsigned char ActiveLanguageIndex();
// The user's language choice: registry value "Language", else the user's locale.
unsigned char ReadLanguageSetting();

}  // namespace ombrelo
