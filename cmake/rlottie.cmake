# Builds rlottie (Debian's patched 0.1 source, unpacked by scripts/setup.sh into
# third_party/rlottie-src, plus our patches in cmake/rlottie-patches) as a
# static library, for the host and for the Windows cross build alike.
set(RLOTTIE_SRC "${CMAKE_SOURCE_DIR}/third_party/rlottie-src" CACHE PATH "rlottie source tree")
if(NOT EXISTS "${RLOTTIE_SRC}/inc/rlottie.h")
  message(FATAL_ERROR "rlottie source missing at ${RLOTTIE_SRC}: run scripts/setup.sh")
endif()

# Our own fixes, cmake/rlottie-patches/*.patch in name order, go on top of
# Debian's. They are applied to a copy of the source in the build folder, so
# the unpacked source stays as Debian ships it and a re-run finds the copy
# already patched. A changed patch set makes a fresh copy; the copy keeps the
# source's file times, and the files any patch (old or new) touches are
# marked new, so only those are compiled again.
file(GLOB _rl_patches CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/cmake/rlottie-patches/*.patch")
list(SORT _rl_patches)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_rl_patches} "${RLOTTIE_SRC}/inc/rlottie.h")
set(_rl_stamp_text "${RLOTTIE_SRC}\n")
set(_rl_touched "")
foreach(_p IN LISTS _rl_patches)
  file(SHA256 "${_p}" _sum)
  string(APPEND _rl_stamp_text "${_p} ${_sum}\n")
  file(STRINGS "${_p}" _targets REGEX "^\\+\\+\\+ b/")
  foreach(_t IN LISTS _targets)
    string(REGEX REPLACE "^\\+\\+\\+ b/([^\t ]+).*" "\\1" _t "${_t}")
    list(APPEND _rl_touched "${_t}")
    string(APPEND _rl_stamp_text "touches ${_t}\n")
  endforeach()
endforeach()
set(RLOTTIE_PATCHED "${CMAKE_BINARY_DIR}/rlottie-patched")
set(_rl_stamp "${RLOTTIE_PATCHED}/.qrv-patches")
set(_rl_stamp_old "")
if(EXISTS "${_rl_stamp}")
  file(READ "${_rl_stamp}" _rl_stamp_old)
endif()
if(NOT _rl_stamp_old STREQUAL _rl_stamp_text)
  # Files the previous patch set touched go back to the source's version.
  string(REGEX MATCHALL "touches [^\n]+" _old_touched "${_rl_stamp_old}")
  foreach(_t IN LISTS _old_touched)
    string(REPLACE "touches " "" _t "${_t}")
    list(APPEND _rl_touched "${_t}")
  endforeach()
  find_program(QRV_PATCH patch REQUIRED)
  file(REMOVE_RECURSE "${RLOTTIE_PATCHED}")
  file(MAKE_DIRECTORY "${RLOTTIE_PATCHED}")
  file(COPY "${RLOTTIE_SRC}/src" "${RLOTTIE_SRC}/inc" DESTINATION "${RLOTTIE_PATCHED}")
  foreach(_p IN LISTS _rl_patches)
    execute_process(COMMAND "${QRV_PATCH}" -p1 --forward --batch --quiet -i "${_p}"
      WORKING_DIRECTORY "${RLOTTIE_PATCHED}" RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _out)
    if(NOT _rc EQUAL 0)
      file(REMOVE_RECURSE "${RLOTTIE_PATCHED}")
      message(FATAL_ERROR "rlottie patch ${_p} does not apply:\n${_out}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES _rl_touched)
  foreach(_t IN LISTS _rl_touched)
    if(EXISTS "${RLOTTIE_PATCHED}/${_t}")
      file(TOUCH "${RLOTTIE_PATCHED}/${_t}")
    endif()
  endforeach()
  file(WRITE "${_rl_stamp}" "${_rl_stamp_text}")
  message(STATUS "rlottie: ${RLOTTIE_SRC} with our patches in ${RLOTTIE_PATCHED}")
endif()

set(_rl "${RLOTTIE_PATCHED}/src")
add_library(rlottie STATIC
  ${_rl}/lottie/lottieitem.cpp ${_rl}/lottie/lottieitem_capi.cpp ${_rl}/lottie/lottieloader.cpp
  ${_rl}/lottie/lottiemodel.cpp ${_rl}/lottie/lottieproxymodel.cpp ${_rl}/lottie/lottieparser.cpp
  ${_rl}/lottie/lottieanimation.cpp ${_rl}/lottie/lottiekeypath.cpp
  ${_rl}/vector/vrect.cpp ${_rl}/vector/vdasher.cpp ${_rl}/vector/vbrush.cpp ${_rl}/vector/vbitmap.cpp
  ${_rl}/vector/vpainter.cpp ${_rl}/vector/vcompositionfunctions.cpp ${_rl}/vector/vdrawhelper.cpp
  ${_rl}/vector/vdrawhelper_sse2.cpp ${_rl}/vector/vrle.cpp ${_rl}/vector/vpath.cpp
  ${_rl}/vector/vpathmesure.cpp ${_rl}/vector/vmatrix.cpp ${_rl}/vector/velapsedtimer.cpp
  ${_rl}/vector/vdebug.cpp ${_rl}/vector/vinterpolator.cpp ${_rl}/vector/vbezier.cpp
  ${_rl}/vector/vraster.cpp ${_rl}/vector/vdrawable.cpp ${_rl}/vector/vimageloader.cpp
  ${_rl}/vector/varenaalloc.cpp
  ${_rl}/vector/freetype/v_ft_math.cpp ${_rl}/vector/freetype/v_ft_raster.cpp
  ${_rl}/vector/freetype/v_ft_stroker.cpp
  ${_rl}/vector/stb/stb_image.cpp
  ${_rl}/binding/c/lottieanimation_capi.cpp)

# config.h: no image-loader plugin, no worker threads, render cache on.
set(_cfg "${CMAKE_BINARY_DIR}/rlottie-config")
file(MAKE_DIRECTORY "${_cfg}")
file(WRITE "${_cfg}/config.h.tmp"
  "#define LOTTIE_CACHE\n#define LOTTIE_CACHE_SUPPORT\n#define LOTTIE_IMAGE_MODULE_PLUGIN \"\"\n")
configure_file("${_cfg}/config.h.tmp" "${_cfg}/config.h" COPYONLY)

# Header-only dependencies from the host (rapidjson, stb) are reached through a
# folder of links, so the cross compiler never sees the rest of /usr/include.
set(QRV_HOSTINC "${CMAKE_BINARY_DIR}/hostinc")
file(MAKE_DIRECTORY "${QRV_HOSTINC}")
foreach(_h rapidjson stb)
  if(NOT EXISTS "/usr/include/${_h}")
    message(FATAL_ERROR "/usr/include/${_h} missing: run scripts/setup.sh")
  endif()
  file(CREATE_LINK "/usr/include/${_h}" "${QRV_HOSTINC}/${_h}" SYMBOLIC)
endforeach()

target_include_directories(rlottie
  PUBLIC "${RLOTTIE_PATCHED}/inc"
  PRIVATE "${_cfg}" "${_rl}/lottie" "${_rl}/vector" "${_rl}/vector/freetype" "${_rl}/binding/c" "${QRV_HOSTINC}")
# LOT_BUILD marks the API as exported/imported correctly for a static library
# on Windows too; users need it for the same reason.
target_compile_definitions(rlottie PUBLIC LOT_BUILD)
if(WIN32)
  # mingw has no ulong typedef; the FreeType-derived stroker uses it.
  target_compile_definitions(rlottie PRIVATE "ulong=unsigned long")
endif()
# -fwrapv: the rasteriser computes bounding boxes of empty shapes with int
# arithmetic that wraps; defining the wrap keeps it portable and keeps the
# sanitizer build from aborting on ordinary movies.
# -fno-math-errno: the gradient loops take a square root per pixel; without
# errno to set it is one instruction instead of a checked library call.
target_compile_options(rlottie PRIVATE -std=c++14 -fno-rtti -w -fwrapv -fno-math-errno)
set_target_properties(rlottie PROPERTIES CXX_STANDARD 14 POSITION_INDEPENDENT_CODE ON)
