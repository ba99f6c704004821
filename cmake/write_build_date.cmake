# Writes the build date into OUTPUT, rewriting the file only when the date
# changed so that an unchanged build stays up to date. SOURCE_DATE_EPOCH,
# when set, fixes the date (reproducible builds).
string(TIMESTAMP today "%Y-%m-%d")
set(content "// Written by the build: the day this program was built.\nnamespace tl {\nextern const char kBuildDate[] = \"${today}\";\n}\n")
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL content)
  file(WRITE "${OUTPUT}" "${content}")
endif()
