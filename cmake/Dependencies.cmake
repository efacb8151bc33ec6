# Finds the picture decoders and GoogleTest for the configuration at hand.
# Native: Debian's -dev packages. Windows with mingw-w64: the static
# libraries that scripts/build-mingw-deps.sh made from Debian's sources,
# found through TOLVAR_DEPS_PREFIX.

set(TOLVAR_DEPS_PREFIX "" CACHE PATH "Install prefix of the Windows builds of libpng, libjpeg and GoogleTest")

if(WIN32 AND TOLVAR_DEPS_PREFIX)
  list(PREPEND CMAKE_FIND_ROOT_PATH "${TOLVAR_DEPS_PREFIX}")
  list(PREPEND CMAKE_PREFIX_PATH "${TOLVAR_DEPS_PREFIX}")
endif()

# Static runtime: the program and its tests need no DLL beside them.
if(MINGW)
  set(ZLIB_USE_STATIC_LIBS ON)
  add_link_options(-static -static-libgcc -static-libstdc++)
elseif(MSVC)
  set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
endif()

find_package(ZLIB REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
if(BUILD_TESTING)
  find_package(GTest REQUIRED)
endif()

if(NOT WIN32)
  # Sanitizers for the native build: the portable logic is where byte
  # layouts and parsing live, so out-of-bounds and overflow must fail loudly.
  option(TOLVAR_SANITIZE "Build native code with AddressSanitizer and UBSan" ON)
  if(TOLVAR_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
  endif()
endif()
