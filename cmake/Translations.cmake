# The window's texts in other languages. Translators work on translations/cinvora_<lang>.ts
# (Qt Linguist); the build turns each into a .qm file with lrelease and puts it in the
# program's resources under :/i18n. `cmake --build build --target update_translations`
# runs lupdate over the window program's sources and brings every .ts file up to date.
# cinvora_en.ts holds only the English plural forms ("%n item(s)" as "1 item", "2 items").
# The command line is not translated: its sources are left out.
find_package(Qt6 REQUIRED COMPONENTS LinguistTools)

set(CINVORA_TRANSLATIONS_DIR ${PROJECT_SOURCE_DIR}/translations)
set(CINVORA_LANGUAGES en de)

set(CINVORA_TRANSLATED_SOURCES
  ${PROJECT_SOURCE_DIR}/foundation/include ${PROJECT_SOURCE_DIR}/foundation/src ${PROJECT_SOURCE_DIR}/foundation/ui
  ${PROJECT_SOURCE_DIR}/engine/include ${PROJECT_SOURCE_DIR}/engine/src ${PROJECT_SOURCE_DIR}/engine/player
  ${PROJECT_SOURCE_DIR}/glazeform/include ${PROJECT_SOURCE_DIR}/glazeform/src ${PROJECT_SOURCE_DIR}/glazeform/volume
  ${PROJECT_SOURCE_DIR}/reelwright ${PROJECT_SOURCE_DIR}/sendaway
  ${PROJECT_SOURCE_DIR}/cinvora/core ${PROJECT_SOURCE_DIR}/cinvora/desktop ${PROJECT_SOURCE_DIR}/cinvora/ui)

# The string tables' texts, which foundation::Strings translates, as lupdate can read them.
set(_cinvora_table_texts ${CMAKE_BINARY_DIR}/translations/StringTableTexts.cpp)
set(_cinvora_ts_files)
set(_cinvora_lupdate_commands
  COMMAND ${CMAKE_COMMAND} -DTABLES_DIR=${PROJECT_SOURCE_DIR}/resources/strings/en -DOUT=${_cinvora_table_texts}
          -P ${CMAKE_CURRENT_LIST_DIR}/StringTableTexts.cmake)
foreach(lang IN LISTS CINVORA_LANGUAGES)
  set(ts ${CINVORA_TRANSLATIONS_DIR}/cinvora_${lang}.ts)
  list(APPEND _cinvora_ts_files ${ts})
  set(only_plurals)
  if(lang STREQUAL "en")
    set(only_plurals -pluralonly)
  endif()
  list(APPEND _cinvora_lupdate_commands
    COMMAND Qt6::lupdate -silent -locations none -extensions cpp,h ${only_plurals}
            ${CINVORA_TRANSLATED_SOURCES} ${_cinvora_table_texts} -target-language ${lang} -ts ${ts})
endforeach()
add_custom_target(update_translations ${_cinvora_lupdate_commands}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "Updating translations/*.ts from the sources"
  VERBATIM)

function(cinvora_translations target)
  qt_add_lrelease(${target} TS_FILES ${_cinvora_ts_files} QM_FILES_OUTPUT_VARIABLE qm_files
                  OPTIONS -silent -nounfinished)
  qt_add_resources(${target} "${target}_translations"
    PREFIX "/i18n"
    BASE ${CMAKE_CURRENT_BINARY_DIR}
    FILES ${qm_files})
endfunction()
