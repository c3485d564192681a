# Run by cpack after it built the package (CPACK_POST_BUILD_SCRIPTS).
#
# CPack's DEB generator gives every package with a shared object under usr/lib
# a postinst and a postrm that run ldconfig, and has no switch to leave them
# out. libfncryptlib.so is private: it is not on the loader's search path and
# the programs load it by full path, so ldconfig has nothing to do for it, and
# lintian warns about the calls. Rebuild the package without the two scripts.
# Scripts that say anything else are an error here, not dropped: whoever adds
# a real maintainer script must look at this first.
set(ldconfig_script_postinst "#!/bin/sh\n\nset -e\n\nif [ \"$1\" = \"configure\" ]; then\n\tldconfig\nfi\n")
set(ldconfig_script_postrm "#!/bin/sh\n\nset -e\n\nif [ \"$1\" = \"remove\" ]; then\n\tldconfig\nfi\n")

foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(tree "${deb}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb --raw-extract "${deb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  set(dropped FALSE)
  foreach(script postinst postrm)
    set(path "${tree}/DEBIAN/${script}")
    if(NOT EXISTS "${path}")
      continue()
    endif()
    file(READ "${path}" text)
    if(NOT text STREQUAL ldconfig_script_${script})
      message(FATAL_ERROR "${deb}: ${script} is not the ldconfig call this script drops:\n${text}")
    endif()
    file(REMOVE "${path}")
    set(dropped TRUE)
  endforeach()
  if(dropped)
    # The staged files are the builder's; in the package they are root's, as
    # CPack has them.
    execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip --build "${tree}" "${deb}"
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(REMOVE_RECURSE "${tree}")
endforeach()
