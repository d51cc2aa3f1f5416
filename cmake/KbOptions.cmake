# One interface target that carries the project's warnings, include root and sanitizers; every
# target of the project links it, so no setting is made for a whole directory.
add_library(kb_options INTERFACE)
target_compile_options(kb_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
  -Woverloaded-virtual $<$<BOOL:${KB_WERROR}>:-Werror>)
# Includes read "core/database.h", "platform/dialogs.h": everything from the source root.
target_include_directories(kb_options INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_definitions(kb_options INTERFACE KB_VERSION="${PROJECT_VERSION}")
if(KB_SANITIZE)
  # Line tables are all a sanitizer's report needs; full debug information costs a fifth more
  # compile time.
  target_compile_options(kb_options INTERFACE -fsanitize=address,undefined
                         -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g1)
  target_link_options(kb_options INTERFACE -fsanitize=address,undefined)
endif()

# The program's own code spells every string's encoding out: no implicit conversion between
# char* and QString. Linked privately by each program library and tool; the tests, whose data is
# plain literals, go without it.
add_library(kb_strict INTERFACE)
target_compile_definitions(kb_strict INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII
                                               QT_USE_QSTRINGBUILDER)
