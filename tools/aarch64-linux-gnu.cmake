# Cross-compiling for Linux arm64 with Debian's g++-aarch64-linux-gnu, the
# extension against the arm64 CPython unpacked by tools/check-cross.sh
# --python into TAXON_ARM64_ROOT.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
if(TAXON_ARM64_ROOT)
  # The build host's interpreter (same version) stands in for the arm64 one
  # at configure time; the headers and the module suffix are arm64's.
  find_program(TAXON_HOST_PYTHON NAMES python3.11 python3 REQUIRED)
  set(Python_EXECUTABLE ${TAXON_HOST_PYTHON} CACHE FILEPATH "")
  set(Python_INCLUDE_DIR ${TAXON_ARM64_ROOT}/usr/include/python3.11 CACHE PATH "")
  set(Python_SOABI cpython-311-aarch64-linux-gnu CACHE STRING "")
  # Debian's pyconfig.h picks the arm64 one under include/aarch64-linux-gnu.
  include_directories(SYSTEM ${TAXON_ARM64_ROOT}/usr/include)
endif()
