# Installing as a Linux desktop program, and the Debian package made from that installation.
#
# The program relies on its application directory holding the player library and the product
# pictures, so these stay together in one private folder, /usr/lib/skyvane, and /usr/bin/skyvane is
# a symbolic link to the executable there (Qt finds the real directory through /proc/self/exe).
# What the program writes goes to the user's folders, as /usr/lib/skyvane is read-only.

set(SKYVANE_PRIVATE_DIR lib/skyvane)
set(SKYVANE_DESKTOP_ID org.skyvane.Skyvane)
set(SKYVANE_RELEASE_DATE 2026-12-07)  # of PROJECT_VERSION, for the AppStream release entry

install(TARGETS skyvane RUNTIME DESTINATION ${SKYVANE_PRIVATE_DIR})
install(TARGETS easyplayer LIBRARY DESTINATION ${SKYVANE_PRIVATE_DIR} NAMELINK_SKIP)
install(FILES ${picture_files} DESTINATION ${SKYVANE_PRIVATE_DIR}/icon/images)

file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-links)
file(CREATE_LINK ../${SKYVANE_PRIVATE_DIR}/skyvane ${CMAKE_BINARY_DIR}/install-links/skyvane SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/install-links/skyvane DESTINATION bin)

configure_file(${PROJECT_SOURCE_DIR}/packaging/${SKYVANE_DESKTOP_ID}.metainfo.xml
               ${CMAKE_BINARY_DIR}/packaging/${SKYVANE_DESKTOP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${SKYVANE_DESKTOP_ID}.desktop DESTINATION share/applications)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${SKYVANE_DESKTOP_ID}.metainfo.xml DESTINATION share/metainfo)
foreach(size ${SKYVANE_APP_ICON_SIZES})
    install(FILES ${SKYVANE_APP_ICON_DIR}/${size}x${size}/apps/skyvane.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()

# The QML modules the interface imports are loaded at run time, so no linker records them: the
# package that ships each import's qmldir on this machine becomes a dependency.
set(skyvane_qml_packages)
find_program(DPKG_QUERY dpkg-query)
get_target_property(qmake_location Qt5::qmake IMPORTED_LOCATION)
execute_process(COMMAND ${qmake_location} -query QT_INSTALL_QML OUTPUT_VARIABLE qt_qml_dir
                OUTPUT_STRIP_TRAILING_WHITESPACE)
file(GLOB_RECURSE skyvane_qml_files ${PROJECT_SOURCE_DIR}/qml/*.qml)
set(skyvane_qml_imports)
foreach(qml_file ${skyvane_qml_files})
    file(STRINGS ${qml_file} import_lines REGEX "^import +Qt[A-Za-z.]+ +[0-9]")
    foreach(line ${import_lines})
        string(REGEX REPLACE "^import +([A-Za-z.]+) +([0-9]+).*" "\\1;\\2" module_and_major "${line}")
        list(GET module_and_major 0 module)
        list(GET module_and_major 1 major)
        list(APPEND skyvane_qml_imports "${module}@${major}")
    endforeach()
endforeach()
list(REMOVE_DUPLICATES skyvane_qml_imports)
foreach(import ${skyvane_qml_imports})
    string(REPLACE "@" ";" module_and_major "${import}")
    list(GET module_and_major 0 module)
    list(GET module_and_major 1 major)
    string(REPLACE "." "/" module_path "${module}")
    set(qmldir "")
    foreach(candidate ${qt_qml_dir}/${module_path}.${major}/qmldir ${qt_qml_dir}/${module_path}/qmldir)
        if(NOT qmldir AND EXISTS ${candidate})
            set(qmldir ${candidate})
        endif()
    endforeach()
    if(qmldir AND DPKG_QUERY)
        execute_process(COMMAND ${DPKG_QUERY} -S ${qmldir} OUTPUT_VARIABLE owner OUTPUT_STRIP_TRAILING_WHITESPACE
                        ERROR_QUIET)
        string(REGEX REPLACE ":.*" "" owner "${owner}")
        if(owner)
            list(APPEND skyvane_qml_packages ${owner})
        endif()
    endif()
endforeach()
list(REMOVE_DUPLICATES skyvane_qml_packages)
list(SORT skyvane_qml_packages)
string(REPLACE ";" ", " skyvane_qml_depends "${skyvane_qml_packages}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME skyvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Skyvane maintainers <maintainers@skyvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ground station for camera gimbals")
# CPack puts the summary first; this is the long description under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Steers a camera gimbal over UDP or a serial line, controls its visible-light\nand thermal cameras, shows the RTSP video live, and starts AI detection and\nbox tracking. Chinese and English interface.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${skyvane_qml_depends}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk")
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)
