# The core is a stack of layers, one folder each, each built as its own static library
# torvex_<name>. A layer may include and link only the layers it names after DEPENDS and what
# those depend on in turn; nothing points up.
#
# The build holds it so: no target includes from the source root. Each layer's headers are
# reachable only through an include root of its own in the build tree
# (layers/<name>/<name> -> <source>/<name>), which a target gets by linking the layer. An
# include of a layer that is not below fails to compile ("No such file or directory"), and the
# LayerIncludes tests show it for every such pair.
#
# Adding a layer: make the folder, then add one line below the layers it uses, for example
#   torvex_add_layer(app DEPENDS engine project)
# and a line torvex_add_test_folder(app unit) in tests/CMakeLists.txt for its tests.

set(TORVEX_LAYER_ROOTS ${CMAKE_BINARY_DIR}/layers)

# torvex_include_root(TARGET SCOPE FOLDER): makes "FOLDER/..." includable for TARGET (and, with
# SCOPE PUBLIC, for what links it) through FOLDER's own include root.
function(torvex_include_root target scope folder)
    set(root ${TORVEX_LAYER_ROOTS}/${folder})
    if(NOT EXISTS ${root}/${folder})
        file(MAKE_DIRECTORY ${root})
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
    endif()
    target_include_directories(${target} ${scope} ${root})
endfunction()

# torvex_add_layer(NAME [DEPENDS LAYER...]): the static library torvex_NAME from NAME/*.cpp.
function(torvex_add_layer name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "DEPENDS")
    set(below "")
    foreach(dep IN LISTS arg_DEPENDS)
        if(NOT TARGET torvex_${dep})
            message(FATAL_ERROR "Layer ${name} depends on ${dep}, which is not defined below it")
        endif()
        get_property(dep_below GLOBAL PROPERTY TORVEX_LAYER_BELOW_${dep})
        list(APPEND below ${dep} ${dep_below})
    endforeach()
    list(REMOVE_DUPLICATES below)
    set_property(GLOBAL PROPERTY TORVEX_LAYER_BELOW_${name} ${below})
    set_property(GLOBAL APPEND PROPERTY TORVEX_LAYERS ${name})

    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${name}/*.cpp)
    list(TRANSFORM arg_DEPENDS PREPEND torvex_)
    if(sources)
        add_library(torvex_${name} STATIC ${sources})
        torvex_include_root(torvex_${name} PUBLIC ${name})
        target_link_libraries(torvex_${name} PUBLIC ${arg_DEPENDS} Threads::Threads
                              PRIVATE torvex_warnings)
        # libpellix.so links parts of the core statically.
        set_target_properties(torvex_${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    else()
        # A layer of headers only (while it is being started).
        add_library(torvex_${name} INTERFACE)
        torvex_include_root(torvex_${name} INTERFACE ${name})
        target_link_libraries(torvex_${name} INTERFACE ${arg_DEPENDS} Threads::Threads)
    endif()
endfunction()

# For every layer: one test that compiles a header of it and of each layer below it with only
# those layers' include roots (it must succeed), and one test for every other layer whose
# header must not be found from there.
function(torvex_add_layer_include_tests)
    get_property(layers GLOBAL PROPERTY TORVEX_LAYERS)
    set(probes ${CMAKE_BINARY_DIR}/layer_probes)
    foreach(layer IN LISTS layers)
        file(GLOB headers ${CMAKE_SOURCE_DIR}/${layer}/*.h)
        list(SORT headers)
        list(GET headers 0 first)
        get_filename_component(first ${first} NAME)
        set(header_${layer} ${layer}/${first})
    endforeach()
    foreach(layer IN LISTS layers)
        get_property(below GLOBAL PROPERTY TORVEX_LAYER_BELOW_${layer})
        set(flags -std=c++20 -fsyntax-only -I${TORVEX_LAYER_ROOTS}/${layer})
        set(allowed "")
        foreach(dep IN LISTS below)
            list(APPEND flags -I${TORVEX_LAYER_ROOTS}/${dep})
            string(APPEND allowed "#include \"${header_${dep}}\"\n")
        endforeach()
        file(CONFIGURE OUTPUT ${probes}/${layer}_below.cpp
             CONTENT "#include \"${header_${layer}}\"\n${allowed}")
        add_test(NAME LayerIncludes.${layer}_SeesItselfAndBelow
                 COMMAND ${CMAKE_CXX_COMPILER} ${flags} ${probes}/${layer}_below.cpp)
        set_tests_properties(LayerIncludes.${layer}_SeesItselfAndBelow PROPERTIES LABELS unit)
        foreach(other IN LISTS layers)
            if(other STREQUAL layer OR other IN_LIST below)
                continue()
            endif()
            set(test LayerIncludes.${layer}_CannotInclude_${other})
            file(CONFIGURE OUTPUT ${probes}/${layer}_${other}.cpp
                 CONTENT "#include \"${header_${other}}\"\n")
            add_test(NAME ${test} COMMAND ${CMAKE_CXX_COMPILER} ${flags} ${probes}/${layer}_${other}.cpp)
            set_tests_properties(${test} PROPERTIES LABELS unit
                PASS_REGULAR_EXPRESSION "${header_${other}}: No such file|'${header_${other}}' file not found")
        endforeach()
    endforeach()
endfunction()
