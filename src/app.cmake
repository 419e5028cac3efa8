# The application layer, in five static libraries whose link order is the
# include order: framework <- dialogs <- document <- view <- shell. Each one
# sees only its own folder and those below it, so an include that reaches up
# (the document into the view, a dialog into the frame) does not compile.
# `app` is all of them together, and the program is `kestrane`.
if(TARGET device)
  function(ks_app_layer name folder)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.h)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/${folder})
    target_link_libraries(${name} PUBLIC ${ARGN})
    ks_warnings(${name})
  endfunction()

  # Command routing, window messages, command ids, the string catalogue.
  ks_app_layer(app_framework framework device Qt6::Widgets)
  # The settings dialogs and their controls.
  ks_app_layer(app_dialogs dialogs app_framework)
  # Capture control and files.
  ks_app_layer(app_document document app_dialogs)
  # The analyzer view.
  ks_app_layer(app_view view app_document Qt6::PrintSupport)
  # The main frame, the application, the toolbar and the about box.
  ks_app_layer(app_shell shell app_view)
  # The start-up picture (drawn by tools/splash).
  qt_add_resources(app_shell ks_splash
    PREFIX "/splash"
    BASE ${PROJECT_SOURCE_DIR}/resources/splash
    FILES ${PROJECT_SOURCE_DIR}/resources/splash/splash.png)

  add_library(app INTERFACE)
  target_link_libraries(app INTERFACE app_shell)

  add_executable(kestrane ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
  target_link_libraries(kestrane PRIVATE app)
  ks_warnings(kestrane)
  # The program loads its transport from its own folder: build it alongside.
  # (The transports are defined after this file; the dependency resolves then.)
  if(EXISTS ${PROJECT_SOURCE_DIR}/transport/sim/CMakeLists.txt)
    add_dependencies(kestrane corvane-sim)
  endif()
  # ... and the device-notification library it registers its window through.
  add_dependencies(kestrane devwatch)
endif()
