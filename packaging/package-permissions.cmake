# Run by CPack on the staged files before it makes the package: every folder
# becomes rwxr-xr-x. CMake makes folders with mkdir, which the builder's umask
# trims (a umask of 077 would give rwx------), and Debian wants 0755 whatever
# the umask was.
file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(path IN LISTS staged)
  if(IS_DIRECTORY "${path}" AND NOT IS_SYMLINK "${path}")
    file(CHMOD "${path}" DIRECTORY_PERMISSIONS
      OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  endif()
endforeach()
