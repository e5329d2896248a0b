# The independent decoders that tests and benchmarks compare with, where Debian has them
# installed (libsquish, libastcenc, Android's libETC1). They are found by hand: some of their
# pkg-config files name include folders that do not exist. Where one is missing, the target
# builds without it and the comparisons it enables are left out.
#
#   vumo_use_peer(TARGET HEADER squish.h LIBRARY squish DEFINITIONS VUMO_HAVE_SQUISH=1
#                 [SUFFIXES android])
function(vumo_use_peer target)
  cmake_parse_arguments(PEER "" "HEADER;LIBRARY" "SUFFIXES;DEFINITIONS" ${ARGN})
  find_path(VUMO_PEER_${PEER_LIBRARY}_INCLUDE_DIR ${PEER_HEADER} PATH_SUFFIXES ${PEER_SUFFIXES})
  find_library(VUMO_PEER_${PEER_LIBRARY}_LIBRARY ${PEER_LIBRARY} PATH_SUFFIXES ${PEER_SUFFIXES})
  if(VUMO_PEER_${PEER_LIBRARY}_INCLUDE_DIR AND VUMO_PEER_${PEER_LIBRARY}_LIBRARY)
    target_include_directories(${target} PRIVATE ${VUMO_PEER_${PEER_LIBRARY}_INCLUDE_DIR})
    target_link_libraries(${target} PRIVATE ${VUMO_PEER_${PEER_LIBRARY}_LIBRARY})
    target_compile_definitions(${target} PRIVATE ${PEER_DEFINITIONS})
  endif()
endfunction()
