#include "lang/DMSStrings.h"

#include <windows.h>

#include "settings/Registry.h"

namespace ombrelo {

TDataModule2* DataModule2 = nullptr;

// Code page 1252 (the sources are compiled with that execution character set).
const char* const kWordTable[] = {
    "@idInternalError",
    "Ein interner Fehler im Programm Ombrelo ist aufgetretten.\r\nBitte installieren Sie Ombrelo erneut oder "
    "nutzen Sie\r\nden Online-Support unter https://www.kestrani.example/de/support",
    "Internal Error\r\nPlease reinstall Ombrelo or call the technical Support at\r\n"
    "https://www.kestrani.example/en/support",
    "@idConvert", "&Konvertieren...", "&Convert...",
    "@idOeffnenMit", "\xD6&ffnen mit", "&Open with",
    "@idDirectConvert", "[&Direkt-] Konvertierung", "[O&nClick-] Conversion",
    "@idCopyText", "&Text ins Clipboard kopieren", "Copy &text",
    "@idSizeTemplate", "Gr\xF6\xDF" "e:   ???", "Size:     ???",
    "@idCopyTextName", "&Pfad\\Textname ins Clipboard kopieren", "Copy &name",
    "@idColorsTemplate", "Farben:  ??? ", "Colors:  ???",
    "@idOmbreloOptions", "Ombrelo &Optionen", "Ombrelo &Options...",
    "@idFormatTemplate", "Format:  ??? ", "Format: ???",
    "@idPrintPreview", "D&ruckervorschau...", "&Print Preview...",
    "@idSettings", "&Einstellungen...", "&Settings...",
    "@idCopyImage", "&Bild ins Clipboard kopieren", "&Copy image",
    "@idCopyImageName", "Pfad\\Bildname ins &Clipboard kopieren", "Copy &name",
    "@idWallpaper", "&Hintergrundbild", "Set &Wallpaper",
    "@idMisc", "&Sonstiges", "&Miscellaneous features",
    "@idCentered", "&Zentrieren", "&Centered",
    "@idTiled", "&Kacheln", "&Tiled",
    "@idScaled", "&Vergr\xF6\xDF" "ern", "&Scale",
    "@idUnkownFormat", "[Unbekanntes Unterformat]", "[Unkown subformat]",
    "@id_status_ConvertImages", "Markierte Dateien in ein anderes Format konvertieren",
    "Changes the format of the selected images.",
    "@id_status_ConvertImage", "Konvertierung des markierten Bildes in ein anderes Format...",
    "Changes the format of the selected image.",
    "@id_status_jpg", "Konvertierung des markierten Bildes ins JPEG Format", "Converts selected image to JPEG",
    "@id_status_bmp", "Konvertierung des markierten Bildes ins BMP Format", "Converts selected image to BMP",
    "@id_status_png", "Konvertierung des markierten Bildes ins PNG Format", "Converts selected image to PNG",
    "@id_status_tiff", "Konvertierung des markierten Bildes ins TIFF Format", "Converts selected image to TIFF",
    "@id_status_printpreview", "Ausdruck der markierten Grafikdatei", "Prints the selected image.",
    "@id_status_copyText", "Kopiert den Text der makierten Datei in die Zwischeablage",
    "Copies the content of the selected textfile to the clipboard.",
    "@id_status_copy1", "Kopiert \"", "Copies \"",
    "@id_status_copy2", "\" in die Zwischenablage", "\" to the clipboard.",
    "@id_status_options", "Ruft die Ombrelo Optionen auf...", "Displays Ombrelo's options.",
    "@id_status_bmpclip", "Kopiert das markierte Bild in die Zwischenablage",
    "Copies the selected image to the clipboard.",
    "@id_status_wallpaper_centered", "Grafik als Hintergrundbild verwenden [Zentrieren]",
    "Use this image for Desktop wallpaper [Centered].",
    "@id_status_wallpaper_tiled", "Grafik als Hintergrundbild verwenden [Kacheln]",
    "Use this image for Desktop wallpaper [Tiled].",
    "@id_status_wallpaper_scaled", "Grafik als Hintergrundbild verwenden [Strecken] ",
    "Use this image for Desktop wallpaper [Scaled].",
    "@id_wallpaper", "Hintergrundbild", "Desktop Wallpaper",
    "@idPrintTxt", "&Drucken", "&Print",
    "@idWordpadTxt", "\xD6" "ffnen mit &Wordpad", "&Open in Wordpad",
    "@idEnablePreview", "[Bildvorschau &aktivieren]", "[&Enable Preview]",
    "@idPreviewIsDisabled", "[Vorschau deaktiviert]", "[Preview is disabled]",
    "@id_status_EnablePreview", "Klicken Sie um die Bildvorschau zu aktivieren", "Enables Ombrelo's image preview.",
    "@id_status_ReEnablePreview",
    "Klicken Sie auf das Ombrelo Symbol in der Taskbar um die Bildvorschau zu aktivieren",
    "Click to (re-) enable Ombrelo's image preview.",
    "@id_status_displayImage", "Markierte Bildatei anzeigen...", "Display selected image...",
    "@id_open", "\xD6" "ffnen...", "Open...",
    "@idNoExViewer1", "Die Datei \"", "Could not find \"",
    "@idNoExViewer2",
    "\" wurde nicht gefunden.\r\nM\xF6" "chten Sie die Datei jetzt suchen ?\r\n\r\n[Klicken Sie auf Nein, um den "
    "internen Ombrelo Viewer zu starten]",
    "\"\r\nSearch this file now ?\r\n\r\n[Select NO to display image in Ombrelo's internal Viewer]",
    "@id_status_print_Text", "Druckt diesen Text.", "Print selected textfile.",
    "@id_status_wordpad_Text", "Text mit Wordpad \xF6" "ffnen.", "Open selected textfile with wordpad.",
    "@idStartMainprog",
    "Damit diese Funtkion ausgef\xFChrt werden kann mu\xDF das Hauptprogramm gestart sein.\r\nSoll es jetzt "
    "gestartet werden?",
    "To use this function you've to start Ombrelo's mainprogramm.\r\nDo you want to start it now?",
    "@idAlwaysAutostart", "Immer automatisch starten.", "Start always automatically.",
    "@idYes", "&Ja", "&Yes",
    "@idNo", "&Nein", "&No",
    "@id_status_pcx", "Konvertierung des markierten Bildes ins PCX Format", "Converts selected image to PCX",
};
const size_t kWordTableSize = sizeof(kWordTable) / sizeof(kWordTable[0]);

TDataModule2::TDataModule2(ui::TComponent* owner) : ui::TComponent(owner) {
  SetName("DataModule2");
  // What streaming the form resource does: make ML1, set its stored
  // properties while loading, then tell it that loading is complete.
  ML1 = new TSmallMultiLang(this);
  ML1->SetName("ML1");
  BeginLoading();
  ML1->SetLanguages(2);
  ML1->Words().assign(kWordTable, kWordTable + kWordTableSize);
  EndLoading();
}

std::string LookupText(std::string_view key) {
  TDataModule2* dm = DataModule2;
  if (!dm || !dm->ML1) return std::string(key);
  return dm->ML1->GetWord(key);
}

unsigned char ActiveLanguageIndex() {
  TDataModule2* dm = DataModule2;
  return (dm && dm->ML1) ? dm->ML1->ActiveLanguage() : 0;
}

unsigned char ReadLanguageSetting() {
  RegKey key;
  if (key.Open(HKEY_CURRENT_USER, kProgramKey) && key.ValueExists("Language")) {
    // A value of another type or size counts as German.
    auto value = key.ReadDword("Language");
    return value ? static_cast<unsigned char>(*value & 0xFF) : 0;
  }
  return (GetUserDefaultLangID() & 0xFF) == LANG_GERMAN ? 0 : 1;
}

}  // namespace ombrelo
