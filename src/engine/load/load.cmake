# Loading pages: fetching on worker threads (libcurl), charsets (ICU), the browser objects.
# Included by the engine's CMakeLists, so it adds to the lectryn_engine library.
pkg_check_modules(LECTRYN_LOAD_CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(LECTRYN_LOAD_ICU REQUIRED IMPORTED_TARGET icu-uc)
target_sources(lectryn_engine PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Address.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BrowserControl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Charset.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EngineBrowserObjects.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Fetch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Fetcher.cpp
  ${CMAKE_CURRENT_LIST_DIR}/History.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JavascriptUrl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Navigator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PageWindow.cpp)
target_link_libraries(lectryn_engine PRIVATE PkgConfig::LECTRYN_LOAD_CURL
                                     PUBLIC PkgConfig::LECTRYN_LOAD_ICU Threads::Threads)
