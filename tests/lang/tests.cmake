configure_file(${CMAKE_CURRENT_LIST_DIR}/word_table.txt ${CMAKE_BINARY_DIR}/bin/word_table.txt COPYONLY)
ombrelo_test(lang_tests CORE SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/WordTableTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LanguageChoiceTest.cpp)
# The user's locale for real: Wine takes the default language from LC_ALL.
ombrelo_test(lang_locale_de CORE SOURCES ${CMAKE_CURRENT_LIST_DIR}/LocaleTest.cpp
  ENV "LC_ALL=de_DE.UTF-8;OMBRELO_EXPECT_LANGUAGE=0")
add_test(NAME lang_locale_en COMMAND lang_locale_de)
set_tests_properties(lang_locale_en PROPERTIES TIMEOUT 300 RESOURCE_LOCK wineprefix
  ENVIRONMENT "LC_ALL=en_US.UTF-8;OMBRELO_EXPECT_LANGUAGE=1")
