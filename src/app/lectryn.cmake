# lectryn, the desktop program.
add_executable(lectryn ${CMAKE_CURRENT_LIST_DIR}/lectryn.cpp ${CMAKE_CURRENT_LIST_DIR}/BrowserPages.cpp
                       ${CMAKE_CURRENT_LIST_DIR}/NarrationControls.cpp
                       ${CMAKE_CURRENT_LIST_DIR}/AccessibilityConsentBus.cpp
                       ${CMAKE_CURRENT_LIST_DIR}/SelectionReading.cpp)
target_compile_definitions(lectryn PRIVATE LECTRYN_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
                                           LECTRYN_VERSION_MINOR=${PROJECT_VERSION_MINOR}
                                           LECTRYN_VERSION_PATCH=${PROJECT_VERSION_PATCH})
target_link_libraries(lectryn PRIVATE lectryn_read_options lectryn_app lectryn_windows lectryn_desktop
                                      lectryn_speech lectryn_speechd lectryn_sim lectryn_system
                                      lectryn_accessibility lectryn_atspi)
add_dependencies(lectryn lectryn_assets)
