# lectryn-reg: reads and administers the registry hives from the command line.
add_executable(lectryn-reg ${CMAKE_CURRENT_SOURCE_DIR}/lectryn-reg.cpp)
target_link_libraries(lectryn-reg PRIVATE lectryn_system)
