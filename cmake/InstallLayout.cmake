# Where an installed Kestrane lives. The program finds everything it loads
# (transport libraries, the device-notification library, the language
# catalogue, the manual, ks-convert) in its own directory, so all of it goes
# into one private folder under the library path, with links to the commands
# in bin/. The settings file then lives in the per-user configuration
# directory, since the private folder is not writable.
include(GNUInstallDirs)
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(KS_INSTALL_PRIVATEDIR "lib/${CMAKE_LIBRARY_ARCHITECTURE}/kestrane")
else()
  set(KS_INSTALL_PRIVATEDIR "lib/kestrane")
endif()
set(KS_INSTALL_DATADIR "share/kestrane")
# Installed programs and libraries find the shared platform library beside them.
set(CMAKE_INSTALL_RPATH "$ORIGIN")
# Folders as Debian wants them, whatever the umask of the build.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
