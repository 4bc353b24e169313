# Fails when a source file of the core library includes a Qt header.
file(GLOB_RECURSE sources "${CORE_DIR}/*.h" "${CORE_DIR}/*.cpp")
foreach(f IN LISTS sources)
  file(STRINGS "${f}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]+|qt[A-Za-z]*/)")
  if(hits)
    message(FATAL_ERROR "The core must not include Qt: ${f}: ${hits}")
  endif()
endforeach()
