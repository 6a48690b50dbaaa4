# Header-only libraries from Debian: CLI11 (libcli11-dev) for the command
# line's options and nlohmann/json (nlohmann-json3-dev) for JSON.
#
# Each becomes an imported INTERFACE target whose include folder holds that
# library's own header folder and nothing else: the folder is copied into the
# build tree, so that `#include <CLI/CLI.hpp>` and `#include <nlohmann/json.hpp>`
# work in the MinGW cross build too, which must never search the host's whole
# /usr/include (its C library headers would shadow MinGW's). Imported
# targets' include folders are system folders: the libraries' own warnings
# do not meet -Werror.
set(TARQUEL_HEADER_ROOT /usr/include CACHE PATH
    "Folder that holds the CLI/ and nlohmann/ header folders")

function(tarquel_header_library target folder header package)
  set(source ${TARQUEL_HEADER_ROOT}/${folder})
  if(NOT EXISTS ${source}/${header})
    message(FATAL_ERROR "${source}/${header} not found: install ${package} (scripts/install-deps.sh)")
  endif()
  set(root ${PROJECT_BINARY_DIR}/third_party/${target})
  file(COPY ${source} DESTINATION ${root})
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${root})
endfunction()

tarquel_header_library(tarquel_cli11 CLI CLI.hpp libcli11-dev)
tarquel_header_library(tarquel_json nlohmann json.hpp nlohmann-json3-dev)
