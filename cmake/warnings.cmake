# The strict warning set that every target we compile is held to. It is an
# INTERFACE library so that a target takes it PRIVATE: the flags apply to our
# own sources and never leak to whoever links the target.
#
# Debian's library headers do not count: they sit in the compiler's own system
# folder or come through imported targets, whose folders CMake passes with
# -isystem.
option(QVL_WERROR "Treat compiler warnings as errors (CI turns this on)" OFF)

add_library(qvl_warnings INTERFACE)
target_compile_options(qvl_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wold-style-cast
  -Wnon-virtual-dtor -Woverloaded-virtual
  $<$<BOOL:${QVL_WERROR}>:-Werror>)

# Every target that compiles sources lists under `dir` and its sub-folders.
function(_qvl_compiled_targets dir out)
  get_property(_targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  set(_found)
  foreach(_t ${_targets})
    get_target_property(_type ${_t} TYPE)
    if(_type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
      list(APPEND _found ${_t})
    endif()
  endforeach()
  get_property(_subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(_sub ${_subdirs})
    _qvl_compiled_targets(${_sub} _more)
    list(APPEND _found ${_more})
  endforeach()
  set(${out} ${_found} PARENT_SCOPE)
endfunction()

# Called once, after every folder has been added: links qvl_warnings into
# every library, test, benchmark, tool and fuzz target of the build, so that a
# new target cannot be forgotten. Targets must use the keyword form of
# target_link_libraries (PUBLIC/PRIVATE/INTERFACE), as the whole tree does.
function(qvl_apply_warnings)
  _qvl_compiled_targets(${PROJECT_SOURCE_DIR} _targets)
  foreach(_t ${_targets})
    target_link_libraries(${_t} PRIVATE qvl_warnings)
  endforeach()
endfunction()
