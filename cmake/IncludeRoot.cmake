# bf_include_root(TARGET NAME DIR): gives TARGET an include folder of its own in the build tree
# that holds one entry, NAME, standing for DIR. Sources include "NAME/Header.h"; a target sees
# another module's headers only by linking it, so an include the dependency graph does not
# allow fails to compile. NAME may have a parent ("recordings/video").
#
# The entry is a symbolic link. Where links cannot be made (Windows without the right to make
# them) the folder's headers are copied instead; the copies are renewed when a header changes.
function(bf_include_root target name dir)
  set(_root ${PROJECT_BINARY_DIR}/include-roots/${target})
  set(_entry ${_root}/${name})
  get_filename_component(_parent ${_entry} DIRECTORY)
  file(MAKE_DIRECTORY ${_parent})
  if(IS_SYMLINK ${_entry})
    file(READ_SYMLINK ${_entry} _points_to)
    if(NOT _points_to STREQUAL dir)
      file(REMOVE ${_entry})
    endif()
  endif()
  set(_linked 0)
  if(NOT IS_SYMLINK ${_entry})
    file(CREATE_LINK ${dir} ${_entry} RESULT _linked SYMBOLIC)
  endif()
  if(NOT _linked EQUAL 0)
    file(GLOB _headers CONFIGURE_DEPENDS RELATIVE ${dir} ${dir}/*.h ${dir}/*.hpp)
    foreach(_h IN LISTS _headers)
      configure_file(${dir}/${_h} ${_entry}/${_h} COPYONLY)
    endforeach()
  endif()
  get_target_property(_type ${target} TYPE)
  if(_type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${_root})
  elseif(_type MATCHES "LIBRARY$")
    target_include_directories(${target} PUBLIC ${_root})
  else()
    target_include_directories(${target} PRIVATE ${_root})
  endif()
endfunction()
