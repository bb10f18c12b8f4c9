# Run by cpack once the packages are made (CPACK_POST_BUILD_SCRIPTS). The
# debug symbols package CPack writes names its files in md5sums by their
# staging paths, so debsums and dpkg --verify find none of them, and it has no
# copyright or changelog. It is unpacked, given md5sums of its own paths and
# the documentation of the package it belongs to (a link, as Debian's debug
# packages have), and packed again.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "/([^/]+)-dbgsym_[^/]*\\.ddeb$")
    continue()
  endif()
  set(owner ${CMAKE_MATCH_1})
  set(tree ${package}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb -R ${package} ${tree} COMMAND_ERROR_IS_FATAL ANY)

  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${tree} ${tree}/usr/*)
  list(SORT files)
  set(sums "")
  foreach(f IN LISTS files)
    if(NOT IS_SYMLINK ${tree}/${f})
      file(MD5 ${tree}/${f} md5)
      string(APPEND sums "${md5}  ${f}\n")
    endif()
  endforeach()
  file(WRITE ${tree}/DEBIAN/md5sums "${sums}")

  file(MAKE_DIRECTORY ${tree}/usr/share/doc)
  file(CREATE_LINK ${owner} ${tree}/usr/share/doc/${owner}-dbgsym SYMBOLIC)

  execute_process(COMMAND dpkg-deb --root-owner-group -b ${tree} ${package}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
  message(STATUS "Debug symbols package with own md5sums and documentation: ${package}")
endforeach()
