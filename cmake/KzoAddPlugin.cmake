# kzo_add_plugin(NAME <short-name> SOURCES <file>... [LIBRARIES <target>...])
#
# Builds the platform plug-in jvp-be-<short-name>.so (target <short_name>,
# dashes as underscores) the way the platform loads it:
# - hidden visibility, so nothing of the framework leaks out of the library;
# - libstdc++ and libgcc linked statically, so the runtime's own allocations
#   also go through the plug-in's counting operator new (Kzo::counted_new),
#   which the core reads through the plug-in's memory counters;
# - a version script exporting one symbol, load_<short_name>, which the
#   sources must define as extern "C" with default visibility;
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
  set(exports "${CMAKE_CURRENT_BINARY_DIR}/${target}_exports.map")
  configure_file("${CMAKE_CURRENT_FUNCTION_LIST_DIR}/kzo_plugin_exports.map.in" "${exports}" @ONLY)

  add_library(${target} SHARED ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} Kzo::framework Kzo::counted_new)
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    OUTPUT_NAME "jvp-be-${ARG_NAME}"
    SUFFIX ".so"
    CXX_VISIBILITY_PRESET hidden
    C_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    POSITION_INDEPENDENT_CODE ON
    LINK_DEPENDS "${exports}")
  target_link_options(${target} PRIVATE
    -static-libstdc++ -static-libgcc
    "-Wl,--version-script=${exports}"
    # clang leaves sanitizer runtimes to the executable, so only gcc can check this.
    $<$<NOT:$<CXX_COMPILER_ID:Clang>>:-Wl,--no-undefined>)
endfunction()
