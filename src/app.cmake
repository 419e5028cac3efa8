# The application layer (document, view, frame, start-up, the count bar's
# labels) as a static library, and the program itself.
file(GLOB KS_APP_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/document/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/document/*.h
  ${CMAKE_CURRENT_SOURCE_DIR}/view/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/view/*.h
  ${CMAKE_CURRENT_SOURCE_DIR}/shell/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/shell/*.h
  ${CMAKE_CURRENT_SOURCE_DIR}/settings/dialogs/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/settings/dialogs/*.h)

if(TARGET device)
  add_library(app STATIC ${KS_APP_SOURCES})
  target_include_directories(app PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/document ${CMAKE_CURRENT_SOURCE_DIR}/view
    ${CMAKE_CURRENT_SOURCE_DIR}/shell ${CMAKE_CURRENT_SOURCE_DIR}/settings/dialogs)
  target_link_libraries(app PUBLIC device Qt6::Widgets Qt6::PrintSupport)
  ks_warnings(app)

  add_executable(kestrane ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
  target_link_libraries(kestrane PRIVATE app)
  ks_warnings(kestrane)
  # The program loads its transport from its own folder: build it alongside.
  # (The transports are defined after this file; the dependency resolves then.)
  if(EXISTS ${PROJECT_SOURCE_DIR}/transport/sim/CMakeLists.txt)
    add_dependencies(kestrane corvane-sim)
  endif()
endif()
