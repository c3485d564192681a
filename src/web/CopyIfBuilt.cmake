# Copies SRC to DST when SRC was built, and otherwise leaves no stale DST
# behind: a missing page is a menu item the window does not show.
if(EXISTS ${SRC})
  file(COPY_FILE ${SRC} ${DST} ONLY_IF_DIFFERENT)
else()
  file(REMOVE ${DST})
endif()
