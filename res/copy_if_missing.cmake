# Copies the factory data files from FROM to TO, leaving files that already exist in TO alone.
foreach(name config.bin record.ini str.ini)
  if(NOT EXISTS "${TO}/${name}")
    file(COPY "${FROM}/${name}" DESTINATION "${TO}")
  endif()
endforeach()
