# Reads the #include lines of the product's sources and fails on any that
# points the wrong way: each folder may include only what its rule below
# names. A folder with sources and no rule fails too, so that a new folder is
# given its place before it grows edges. tests/ and bench/ reach into every
# piece by design and are not checked.
#   cmake -DSOURCE_DIR=<tree> -P CheckIncludes.cmake
cmake_minimum_required(VERSION 3.25)

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<tree> -P CheckIncludes.cmake")
endif()

set(PLATFORM "^platform/[^/]+$")
set(OPENCV "^platform/opencv/")

# A folder (first match wins, so the deeper ones come first) and, as one
# regular expression, the paths its files may include.
set(RULES
    # The Linux runtime, media module included: the platform's declarations and itself.
    "platform/linux/"    "${PLATFORM}|^platform/linux/"
    # The image library's three functions: their own headers.
    "platform/opencv/"   "${OPENCV}"
    # The platform's declarations: only each other.
    "platform/"          "${PLATFORM}"
    "helpers/"           "${PLATFORM}|^helpers/"
    "capture/"           "${PLATFORM}|${OPENCV}|^capture/"
    "registry/"          "${PLATFORM}|^helpers/|^registry/"
    "server/"            "${PLATFORM}|${OPENCV}|^helpers/|^capture/|^registry/|^server/"
    "resources/"         "${PLATFORM}|^resources/"
    # Tools: the platform, and what they host.
    "tools/common/"      "${PLATFORM}|^tools/common/"
    "tools/reg/"         "${PLATFORM}|^tools/common/|^tools/reg/"
    "tools/regsvr/"      "${PLATFORM}|^tools/common/|^tools/regsvr/"
    # morven-grab hosts the component through its interface.
    "tools/morven-grab/" "${PLATFORM}|^tools/common/|^tools/morven-grab/|^capture/MORVEN\\.h$"
    # tlbc writes the file format the runtime's reader reads: one description for both.
    "tools/tlbc/"        "${PLATFORM}|^tools/tlbc/|^platform/linux/typelib/TypeLibFormat\\.h$"
    # The host-level tests are one source for both builds: the platform's declarations,
    # the component's header and the kit's portable parts; each side adds its own.
    "tests/host/linux/"   "${PLATFORM}|^platform/linux/ComRtExtensions\\.h$|^tests/host/|^tests/support/"
    "tests/host/windows/" "${PLATFORM}|^tests/host/|^tests/windows/MessageBoxWatcher\\.h$"
    "tests/host/"         "${PLATFORM}|^capture/MORVEN\\.h$|^tests/host/|^tests/support/(ComHolders|Frames|RegistryReads)\\.h$"
)
set(UNCHECKED tests bench)
# Folders inside an unchecked one that are checked all the same.
set(CHECKED_INSIDE tests/host)

# The path, relative to the tree, that an include names, or "" where it is
# not one of the tree's files (a system header, a generated one).
function(resolve_include file bracket name out)
    set(${out} "" PARENT_SCOPE)
    get_filename_component(dir "${SOURCE_DIR}/${file}" DIRECTORY)
    if(bracket STREQUAL "<")
        # Only the image library's headers are ours among the <...> ones.
        if(NOT name MATCHES "^opencv2/")
            return()
        endif()
        set(candidates "${SOURCE_DIR}/platform/opencv/${name}")
    else()
        set(candidates "${dir}/${name}" "${SOURCE_DIR}/${name}" "${SOURCE_DIR}/platform/opencv/${name}")
    endif()
    foreach(candidate ${candidates})
        if(EXISTS "${candidate}" AND NOT IS_DIRECTORY "${candidate}")
            get_filename_component(candidate "${candidate}" ABSOLUTE)
            file(RELATIVE_PATH relative "${SOURCE_DIR}" "${candidate}")
            set(${out} "${relative}" PARENT_SCOPE)
            return()
        endif()
    endforeach()
endfunction()

set(violations 0)
file(GLOB top LIST_DIRECTORIES true RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
foreach(folder ${top} ${CHECKED_INSIDE})
    # Build trees, hidden folders and the unchecked ones are passed over.
    if(NOT IS_DIRECTORY "${SOURCE_DIR}/${folder}" OR folder MATCHES "^\\." OR folder IN_LIST UNCHECKED
       OR EXISTS "${SOURCE_DIR}/${folder}/CMakeCache.txt")
        continue()
    endif()
    file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}"
        "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.hpp" "${SOURCE_DIR}/${folder}/*.c"
        "${SOURCE_DIR}/${folder}/*.cpp" "${SOURCE_DIR}/${folder}/*.rc")
    foreach(file ${sources})
        set(allowed "")
        set(rules ${RULES})
        while(rules)
            list(POP_FRONT rules prefix pattern)
            string(FIND "${file}" "${prefix}" at)
            if(at EQUAL 0)
                set(allowed "${pattern}")
                break()
            endif()
        endwhile()
        if(allowed STREQUAL "")
            message("${file}: its folder has no include rule; give it one in ${CMAKE_CURRENT_LIST_FILE}")
            math(EXPR violations "${violations} + 1")
            continue()
        endif()

        file(STRINGS "${SOURCE_DIR}/${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
        foreach(line ${includes})
            string(REGEX MATCH "include[ \t]*([<\"])([^>\"]+)" _ "${line}")
            resolve_include("${file}" "${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}" target)
            if(target AND NOT target MATCHES "${allowed}")
                message("${file}: forbidden include of ${target}")
                math(EXPR violations "${violations} + 1")
            endif()
        endforeach()
    endforeach()
endforeach()

if(violations GREATER 0)
    message(FATAL_ERROR "${violations} include(s) against the layering rules (README, Layout)")
endif()
message("includes follow the layering rules")
