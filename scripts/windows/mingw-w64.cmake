# CMake toolchain for cross-building Corvalin.exe on Linux with MinGW-w64
# against a static wxMSW.  Pass -DWXMSW_PREFIX=<wxMSW install folder>
# (scripts/windows/build_wxmsw.sh prints it); Boost is header-only here, so
# Boost_INCLUDE_DIR may point at any folder that holds boost/.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

# try_compile runs in projects of its own; hand it the prefix as well.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES WXMSW_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
if(WXMSW_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${WXMSW_PREFIX})
  set(wxWidgets_CONFIG_EXECUTABLE ${WXMSW_PREFIX}/bin/wx-config CACHE FILEPATH "wx-config of the static wxMSW")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One executable that needs nothing but the system's own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The Linux BoostConfig.cmake describes Linux libraries; the headers alone
# are what Corvalin uses.
set(Boost_NO_BOOST_CMAKE ON)
