# cmake -DTABLES_DIR=... -DOUT=... -P StringTableTexts.cmake
# Lists the English texts of the string tables (resources/strings/en/*.plist) as C++ that
# lupdate reads, so the texts that foundation::Strings hands to Qt's translators are in the
# .ts files, taken from the tables themselves.
file(GLOB tables "${TABLES_DIR}/*.plist")
list(SORT tables)
set(out "// Made by cmake/StringTableTexts.cmake from the string tables, for lupdate only.\n")
foreach(table IN LISTS tables)
  file(READ "${table}" xml)
  # A semicolon would split CMake's list of matches.
  string(REPLACE ";" "@SEMICOLON@" xml "${xml}")
  string(REGEX MATCHALL "<string>[^<]*</string>" values "${xml}")
  foreach(v IN LISTS values)
    string(REGEX REPLACE "^<string>(.*)</string>$" "\\1" text "${v}")
    string(REPLACE "@SEMICOLON@" ";" text "${text}")
    string(REPLACE "&lt;" "<" text "${text}")
    string(REPLACE "&gt;" ">" text "${text}")
    string(REPLACE "&apos;" "'" text "${text}")
    string(REPLACE "&quot;" "\"" text "${text}")
    string(REPLACE "&amp;" "&" text "${text}")
    string(REPLACE "\\" "\\\\" text "${text}")
    string(REPLACE "\"" "\\\"" text "${text}")
    string(REPLACE "\n" "\\n" text "${text}")
    string(APPEND out "QT_TRANSLATE_NOOP(\"Strings\", \"${text}\");\n")
  endforeach()
endforeach()
file(WRITE "${OUT}" "${out}")
