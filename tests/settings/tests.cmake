ombrelo_test(settings_tests CORE SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/OpenWithTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProfileSectionTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RegistryTest.cpp)
