# lectryn-read, the terminal reader. Its command line is a library of its own so tests can use it.
add_library(lectryn_read_options STATIC ${CMAKE_CURRENT_LIST_DIR}/ReadOptions.cpp)
target_include_directories(lectryn_read_options PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(lectryn_read_options PRIVATE lectryn_narration)
target_link_libraries(lectryn_read_options PUBLIC lectryn_platform)
add_executable(lectryn-read ${CMAKE_CURRENT_LIST_DIR}/lectryn-read.cpp)
target_link_libraries(lectryn-read PRIVATE lectryn_read_options lectryn_app lectryn_engine lectryn_speech
                                           lectryn_speechd lectryn_sim lectryn_system)
