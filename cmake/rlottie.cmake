# Builds rlottie (Debian's patched 0.1 source, unpacked by scripts/setup.sh into
# third_party/rlottie-src) as a static library, for the host and for the
# Windows cross build alike.
set(RLOTTIE_SRC "${CMAKE_SOURCE_DIR}/third_party/rlottie-src" CACHE PATH "rlottie source tree")
if(NOT EXISTS "${RLOTTIE_SRC}/inc/rlottie.h")
  message(FATAL_ERROR "rlottie source missing at ${RLOTTIE_SRC}: run scripts/setup.sh")
endif()

set(_rl "${RLOTTIE_SRC}/src")
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
  PUBLIC "${RLOTTIE_SRC}/inc"
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
target_compile_options(rlottie PRIVATE -std=c++14 -fno-rtti -w -fwrapv)
set_target_properties(rlottie PROPERTIES CXX_STANDARD 14 POSITION_INDEPENDENT_CODE ON)
