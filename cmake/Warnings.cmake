# Our own targets get the warnings; third-party headers come in as system
# includes and are left alone. Warnings become errors only where the
# developer presets and CI ask for it: a user's or a packager's build must
# not fail because a newer compiler found something new to say.
option(HUSHNOTE_WERROR "Treat warnings in Hushnote's own code as errors" OFF)

function(hushnote_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(HUSHNOTE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
