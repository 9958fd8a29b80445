# Unity builds: a target's sources are compiled several to a unit, so that
# each unit parses the headers they share once. The standard library, fmt,
# pugixml and nlohmann-json are most of what a source of ours compiles (about
# 1.7 s of a 2-4 s compile), so this roughly halves what a build costs.
#
# A unit is its sources included one after the other, so a name that two
# sources each keep to themselves (in an anonymous namespace, or static) must
# not meet in one unit: as a constant or a type it fails to compile, and as a
# function with other parameters it quietly becomes an overload that a call
# of the other source may pick. The sources that share such a name are
# declared below with qvl_unity_apart and are placed in different units; a
# source whose headers leave macros behind (X11's None, Status, Bool) is
# declared with qvl_unity_alone and compiled on its own. Once such a name is
# renamed, its declaration goes. tools/checks/unity_clashes.sh lists the
# shared names from a tree built without unity.
# A name may also be shared by way of a header: the sources that include a
# header declaring a function stay apart from those that define their own of
# that name (qvl_unity_header_users), but not from each other.
#
# The tools' libraries (two or three sources each) are left as they are:
# compiled one by one they keep the cores busy at the end of a build.
#
# With QVL_UNITY off every source is compiled on its own: clang-tidy's
# compile commands come from such a tree (tools/checks/tidy.sh), so that each
# product source is still checked on its own and must include what it uses,
# and tools/checks/compile_alone.sh compiles from one each test source that
# a unit holds after another.
option(QVL_UNITY "Compile the sources of each product library and test suite in larger units" ON)
set(QVL_UNITY_BATCH 8 CACHE STRING "Sources per unit of a product library")

# Each source keeps a list of name=definition; two sources share no unit
# when they give one name two definitions.
function(_qvl_unity_define folder name definition)
  foreach(_s ${ARGN})
    set_property(GLOBAL APPEND PROPERTY "QVL_UNITY_APART:${PROJECT_SOURCE_DIR}/${folder}/${_s}"
                 "${folder}:${name}=${definition}")
  endforeach()
endfunction()

# qvl_unity_apart(folder name sources...): the sources (relative to the
# product folder) each define their own `name`; no two share a unit.
function(qvl_unity_apart folder name)
  foreach(_s ${ARGN})
    _qvl_unity_define(${folder} ${name} ${_s} ${_s})
  endforeach()
endfunction()

# qvl_unity_header_users(folder name header sources...): the sources include
# `header`, which declares `name`; they share no unit with a source that
# defines its own.
function(qvl_unity_header_users folder name header)
  _qvl_unity_define(${folder} ${name} ${header} ${ARGN})
endfunction()

# qvl_unity_alone(folder sources...): each of the sources is compiled on its own.
function(qvl_unity_alone folder)
  foreach(_s ${ARGN})
    set_property(GLOBAL PROPERTY "QVL_UNITY_ALONE:${PROJECT_SOURCE_DIR}/${folder}/${_s}" ON)
  endforeach()
endfunction()

# qvl_unity(target batch): compiles the target's sources at most `batch` to
# a unit, in units of even size (CMake's own batches leave a short last one).
# The units are formed once the target's folder is read to its end, so that
# a source taken out of the target after this call is left out. A source
# belongs to one target only: its unit is a property of the source.
function(qvl_unity target batch)
  if(QVL_UNITY)
    # A deferred call reads its arguments when it runs: pass them as text.
    cmake_language(EVAL CODE "cmake_language(DEFER CALL _qvl_unity_units [[${target}]] [[${batch}]])")
  endif()
endfunction()

# Whether a unit holding the name=definition list `held` may take a source
# with the list `entries`.
function(_qvl_unity_fits entries held out)
  foreach(_entry ${entries})
    string(REGEX REPLACE "=.*" "=" _name "${_entry}")
    foreach(_h ${held})
      string(FIND "${_h}" "${_name}" _at)
      if(_at EQUAL 0 AND NOT _h STREQUAL _entry)
        set(${out} OFF PARENT_SCOPE)
        return()
      endif()
    endforeach()
  endforeach()
  set(${out} ON PARENT_SCOPE)
endfunction()

# Forms units of at most `batch` sources, as few as the names kept apart
# allow and as even as can be: the sources with the most names to keep apart
# are placed first, each into the smallest unit that may take it.
function(_qvl_unity_units target batch)
  get_target_property(_sources ${target} SOURCES)
  get_target_property(_dir ${target} SOURCE_DIR)
  set(_plain)
  set(_most 0)
  foreach(_s ${_sources})
    if(NOT _s MATCHES "\\.cpp$")
      continue()
    endif()
    get_filename_component(_abs ${_s} ABSOLUTE BASE_DIR ${_dir})
    get_property(_alone GLOBAL PROPERTY "QVL_UNITY_ALONE:${_abs}")
    if(_alone)
      set_source_files_properties(${_s} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
      continue()
    endif()
    get_property(_entries GLOBAL PROPERTY "QVL_UNITY_APART:${_abs}")
    list(LENGTH _entries _n)
    if(_n EQUAL 0)
      list(APPEND _plain ${_s})
    else()
      list(APPEND _kept_${_n} ${_s})
      set(_entries_${_s} ${_entries})
      if(_n GREATER _most)
        set(_most ${_n})
      endif()
    endif()
  endforeach()
  set(_order)
  if(_most GREATER 0)
    foreach(_n RANGE ${_most} 1 -1)
      list(APPEND _order ${_kept_${_n}})
    endforeach()
  endif()
  list(APPEND _order ${_plain})
  list(LENGTH _order _total)
  if(_total EQUAL 0)
    return()
  endif()
  math(EXPR _count "(${_total} + ${batch} - 1) / ${batch}")
  foreach(_s ${_order})
    set(_unit -1)
    set(_smallest ${batch})
    math(EXPR _last "${_count} - 1")
    foreach(_u RANGE ${_last})
      list(LENGTH _members_${_u} _size)
      if(_size LESS _smallest)
        _qvl_unity_fits("${_entries_${_s}}" "${_held_${_u}}" _fits)
        if(_fits)
          set(_unit ${_u})
          set(_smallest ${_size})
        endif()
      endif()
    endforeach()
    if(_unit EQUAL -1)
      set(_unit ${_count})
      math(EXPR _count "${_count} + 1")
    endif()
    list(APPEND _members_${_unit} ${_s})
    list(APPEND _held_${_unit} ${_entries_${_s}})
  endforeach()
  math(EXPR _last "${_count} - 1")
  foreach(_u RANGE ${_last})
    set_source_files_properties(${_members_${_u}} PROPERTIES UNITY_GROUP ${_u})
  endforeach()
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_MODE GROUP)
endfunction()

# Names that sources of one library each keep to themselves.
qvl_unity_apart(liveries kMaxRegistrationSize+LineOutcome fltsim_section.cpp mtl_file.cpp)
qvl_unity_apart(liveries lowerAscii+equalsNoCase key_line.cpp mtl_file.cpp)
qvl_unity_apart(liveries kPaxModelReserve+kCargoModelReserve livery_tables.cpp scanned_processing.cpp)
qvl_unity_apart(airports kAttention addon/addon_airport.cpp airports_scan.cpp)
qvl_unity_apart(airports kReaderName learned_file.cpp park_airport.cpp)
qvl_unity_apart(airports kShortestUsableMaker addon/tblo.cpp park_airport.cpp)
qvl_unity_apart(engine positionOf conflicts/clearance.cpp live_ac_update.cpp parking/park_selection.cpp
                parking/parking_adjust.cpp base/removal.cpp sample_checks.cpp spawn.cpp stands/stands.cpp
                traffic_intake.cpp)
qvl_unity_header_users(engine positionOf motion/motion_steps.h motion/stand_parking.cpp motion/configuration.cpp
                       motion/continuation.cpp motion/flare.cpp motion/flying_step.cpp motion/ground_step.cpp
                       motion/integrate.cpp motion/pushback.cpp motion/sample_step.cpp motion/take_off.cpp
                       motion/taxi.cpp)
qvl_unity_apart(engine creationOf engine_tick.cpp parking/static_placing.cpp)
qvl_unity_apart(engine isRotorcraft base/client_events.cpp motion/configuration.cpp motion/take_off.cpp)
qvl_unity_apart(engine kSlotsPerDay parking/park_selection.cpp parking/parking_adjust.cpp
                parking/static_placing.cpp stands/stands.cpp)
qvl_unity_apart(engine liveByHexId conflicts/static_conflicts.cpp object_events.cpp)
qvl_unity_apart(engine placeOf conflicts/conflicts.cpp conflicts/static_conflicts.cpp)
qvl_unity_apart(engine sameIds parking/park_selection.cpp parking/parking_adjust.cpp stands/stands.cpp)
qvl_unity_apart(engine standOf conflicts/static_conflicts.cpp sample_checks.cpp)
qvl_unity_apart(engine userPosition base/removal.cpp spawn.cpp)
qvl_unity_apart(run controlEnabled window/status_panel.cpp window/window_status.cpp)
qvl_unity_apart(run installPathSetting start_up.cpp window/edit_fields.cpp)
qvl_unity_apart(run say window/commands.cpp window/edit_fields.cpp)
qvl_unity_apart(run required window/edit_fields.cpp window/main_window_state.cpp window/window_status.cpp)

# FLTK's x.H brings in Xlib and its macros.
qvl_unity_alone(platform ui/fltk_window.cpp)
# In a unit, g++ 12 inlines a lambda of this source further and then takes
# an engaged std::optional for maybe uninitialized (-Wmaybe-uninitialized);
# on its own it compiles clean.
qvl_unity_alone(liveries aircraft_cfg.cpp)
