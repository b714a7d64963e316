# lectryn-render: lays a page out with Qt's fonts and writes it as a PNG or its boxes as JSON lines.
if(TARGET lectryn_desktop)
  add_executable(lectryn-render ${CMAKE_CURRENT_LIST_DIR}/lectryn-render.cpp)
  target_link_libraries(lectryn-render PRIVATE lectryn_app lectryn_desktop lectryn_engine lectryn_system)
endif()
