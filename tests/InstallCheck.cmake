# SPDX-License-Identifier: MIT
cmake_minimum_required(VERSION 3.25)
# Installs the build into a fresh prefix and checks that every file the desktop reads is where
# it looks for it. Run as: cmake -DBINARY_DIR=<build> -DPREFIX=<dir> -P InstallCheck.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix ${PREFIX}
                OUTPUT_QUIET RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(id io.github.lexwick.Lexwick)
set(expected
    bin/lexwick
    ${LIBDIR}/lexwick/lexwick-popover.so
    share/applications/${id}.desktop
    share/kglobalaccel/${id}.desktop
    share/dbus-1/services/${id}.service
    share/metainfo/${id}.metainfo.xml
    share/icons/hicolor/scalable/apps/${id}.svg
    share/icons/hicolor/symbolic/apps/${id}-symbolic.svg
    share/lexwick/autostart/${id}.desktop
    share/doc/lexwick/LICENSE
    share/doc/lexwick/MaterialIcons-NOTICE.txt
    share/man/man1/lexwick.1.gz
    share/bash-completion/completions/lexwick
    share/zsh/vendor-completions/_lexwick
    share/fish/vendor_completions.d/lexwick.fish)
foreach(path IN LISTS expected)
    if(NOT EXISTS ${PREFIX}/${path})
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()

# Activation starts the binary of this installation.
file(STRINGS ${PREFIX}/share/dbus-1/services/${id}.service exec REGEX "^Exec=")
if(NOT exec STREQUAL "Exec=${PREFIX}/bin/lexwick")
    message(FATAL_ERROR "the service starts '${exec}', not ${PREFIX}/bin/lexwick")
endif()

execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} ${PREFIX}/share/applications/${id}.desktop
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the installed desktop file does not validate")
endif()
message(STATUS "Installed in place: ${expected}")
