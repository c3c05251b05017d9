# Debian's build-machine copy is a shared library; the headers alone make
# the header-only form of the same version.
include(${CMAKE_CURRENT_LIST_DIR}/HostHeaders.cmake)
quorin_host_headers(tomlplusplus::tomlplusplus toml++)
