# Installs the build into a fresh prefix and runs the installed programs from there: the
# editor answers --version and finds its help page and sample in its own prefix, the command-
# line tool reads the installed sample, and the desktop entry and icon are in place.
# Run with -DBUILD_DIR=... -DPREFIX=...
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

foreach(f bin/vorlin bin/vorlin-cli share/applications/vorlin.desktop
        share/icons/hicolor/scalable/apps/vorlin.svg share/vorlin/vorlin_help.html
        share/vorlin/main_window.png share/vorlin/sample/sample.gob
        share/vorlin/sample/3do/key/walk.key)
    if(NOT EXISTS "${PREFIX}/${f}")
        message(FATAL_ERROR "not installed: ${f}")
    endif()
endforeach()

file(READ "${PREFIX}/share/applications/vorlin.desktop" desktop)
foreach(line "Name=Vorlin" "GenericName=KEY Animation Editor" "Categories=Graphics;3DGraphics;"
        "Icon=vorlin" "Exec=vorlin")
    string(FIND "${desktop}" "${line}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the desktop entry lacks ${line}")
    endif()
endforeach()

set(ENV{QT_QPA_PLATFORM} offscreen)
execute_process(COMMAND "${PREFIX}/bin/vorlin" --version WORKING_DIRECTORY "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out MATCHES "Vorlin 0.6")
    message(FATAL_ERROR "vorlin --version: ${rc} ${out}")
endif()
execute_process(COMMAND "${PREFIX}/bin/vorlin" --paths WORKING_DIRECTORY "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out)
file(REAL_PATH "${PREFIX}" real)
if(NOT rc EQUAL 0 OR NOT out MATCHES "help: ${real}/share/vorlin/vorlin_help.html"
   OR NOT out MATCHES "sample: ${real}/share/vorlin/sample")
    message(FATAL_ERROR "the installed program looks elsewhere: ${out}")
endif()
execute_process(COMMAND "${PREFIX}/bin/vorlin-cli" key dump
                        "${PREFIX}/share/vorlin/sample/3do/key/walk.key"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out MATCHES "\"name\": \"walk.key\"")
    message(FATAL_ERROR "vorlin-cli key dump on the installed sample: ${rc} ${out}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
