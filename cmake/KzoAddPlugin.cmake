# kzo_add_plugin(NAME <short-name> SOURCES <file>... [LIBRARIES <target>...])
#
# Builds the platform plug-in jvp-be-<short-name>.so, or jvp-be-<short-name>.dll
# on Windows (target <short_name>, dashes as underscores), the way the platform
# loads it:
# - hidden visibility, so nothing of the framework leaks out of the library;
# - libstdc++ and libgcc linked statically (on Windows winpthread too, so the
#   DLL needs nothing but Windows' own libraries), so the runtime's own
#   allocations also go through the plug-in's counting operator new
#   (Kzo::counted_new), which the core reads through the plug-in's memory
#   counters;
# - one exported symbol, load_<short_name>, which the sources must define as
#   extern "C" KZO_PLUGIN_ENTRY (abi/plugin_entry_abi.h): a version script
#   keeps every other symbol local on Linux, a module-definition file names
#   the DLL's one export (cdecl, undecorated) on Windows;
# - with gcc, --no-undefined: every symbol is resolved when the library links.
# LIBRARIES are linked privately, after Kzo::framework.
#
# Used in-tree (where Kzo::framework and Kzo::counted_new are aliases of the
# project's targets) and from the installed package alike.

function(kzo_add_plugin)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBRARIES" ${ARGN})
  if(NOT ARG_NAME MATCHES "^[a-z0-9]+(-[a-z0-9]+)*$")
    message(FATAL_ERROR
      "kzo_add_plugin: NAME '${ARG_NAME}' must be lower-case letters and digits, "
      "words joined by single dashes")
  endif()
  if(NOT ARG_SOURCES)
    message(FATAL_ERROR "kzo_add_plugin(${ARG_NAME}): SOURCES are missing")
  endif()
  string(REPLACE "-" "_" target "${ARG_NAME}")
  set(KZO_PLUGIN_EXPORT "load_${target}")

  add_library(${target} SHARED ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} Kzo::framework Kzo::counted_new)
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    OUTPUT_NAME "jvp-be-${ARG_NAME}"
    CXX_VISIBILITY_PRESET hidden
    C_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    POSITION_INDEPENDENT_CODE ON)
  if(WIN32)
    _kzo_plugin_windows_exports(${target})
  else()
    _kzo_plugin_linux_exports(${target})
  endif()
endfunction()

# The version script exports the entry and makes every other symbol local,
# the counting operator new included.
function(_kzo_plugin_linux_exports target)
  set(exports "${CMAKE_CURRENT_BINARY_DIR}/${target}_exports.map")
  configure_file("${CMAKE_CURRENT_FUNCTION_LIST_DIR}/kzo_plugin_exports.map.in" "${exports}" @ONLY)
  set_target_properties(${target} PROPERTIES SUFFIX ".so" LINK_DEPENDS "${exports}")
  target_link_options(${target} PRIVATE
    -static-libstdc++ -static-libgcc
    "-Wl,--version-script=${exports}"
    # clang leaves sanitizer runtimes to the executable, so only gcc can check this.
    $<$<NOT:$<CXX_COMPILER_ID:Clang>>:-Wl,--no-undefined>)
endfunction()

# The module-definition file names the one export; --exclude-all-symbols keeps
# the linker from exporting anything else by itself. A DLL binds its own
# definitions at link time, so the statically linked runtime and the counting
# operator new serve this DLL alone. The core finds the entry with
# GetProcAddress; the import library the linker makes beside the DLL is unused.
function(_kzo_plugin_windows_exports target)
  set(exports "${CMAKE_CURRENT_BINARY_DIR}/${target}_exports.def")
  configure_file("${CMAKE_CURRENT_FUNCTION_LIST_DIR}/kzo_plugin_exports.def.in" "${exports}" @ONLY)
  target_sources(${target} PRIVATE "${exports}")
  set_target_properties(${target} PROPERTIES SUFFIX ".dll" IMPORT_PREFIX "")
  target_link_options(${target} PRIVATE
    -static -static-libstdc++ -static-libgcc
    -Wl,--exclude-all-symbols -Wl,--no-undefined)
endfunction()
