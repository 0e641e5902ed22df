# The shipped 32-bit binaries must load on every system the program accepts, Windows XP (5.1)
# to 7. Windows XP lacks GetTickCount64, which the static thread runtime (winpthreads) imports:
# every program and library of this build therefore links an object that defines it and its
# import slot itself (cmake/xp/TickCount64.cpp), and kernel32 is never asked for it. Static
# libraries are left out: the binaries that link them get the object directly.
add_library(xp_tick_count OBJECT ${CMAKE_CURRENT_LIST_DIR}/xp/TickCount64.cpp)
target_compile_options(xp_tick_count PRIVATE ${KELVARA_WARNINGS})
target_include_directories(xp_tick_count PUBLIC ${CMAKE_CURRENT_LIST_DIR}/xp)
link_libraries($<$<NOT:$<STREQUAL:$<TARGET_PROPERTY:TYPE>,STATIC_LIBRARY>>:xp_tick_count>)

# A host check per shipped binary (the programs and libraries defined below Engine/ and Client/):
# its import table holds no function that arrived with Windows Vista or later.
function(kelvara_add_xp_import_checks)
  set(folders ${CMAKE_SOURCE_DIR}/Engine)
  if(EXISTS ${CMAKE_SOURCE_DIR}/Client/CMakeLists.txt)
    list(APPEND folders ${CMAKE_SOURCE_DIR}/Client)
  endif()
  while(folders)
    list(POP_FRONT folders folder)
    get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
    list(APPEND folders ${subfolders})
    get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
      get_target_property(type ${target} TYPE)
      if(type STREQUAL "EXECUTABLE" OR type STREQUAL "SHARED_LIBRARY")
        add_test(NAME ${target}_xp_imports
                 COMMAND ${CMAKE_SOURCE_DIR}/tests/check_imports.sh ${CMAKE_OBJDUMP} $<TARGET_FILE:${target}>)
        set_tests_properties(${target}_xp_imports PROPERTIES LABELS host)
      endif()
    endforeach()
  endwhile()
endfunction()
