# Warnings are errors on our own targets only; third-party headers come in as
# system includes and are left alone.
function(hushnote_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
