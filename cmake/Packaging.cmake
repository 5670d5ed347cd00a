# Installation in the layout Linux hosts and menus look in, and the Debian package made from it with CPack.
#   cmake --install build --prefix /usr   ->  lib/vst3/Tazzle.vst3, lib/lv2/Tazzle.lv2, bin/tazzle, bin/tazzle-render,
#                                             share/applications, share/icons, share/man/man1, share/doc/tazzle
# Plug-in folders are lib/vst3 and lib/lv2 on every distribution (not the multiarch library folder): that is where
# hosts search.

set(TAZZLE_PACKAGE_NAME tazzle)
set(TAZZLE_DOC_DIR "share/doc/${TAZZLE_PACKAGE_NAME}")

install(DIRECTORY "$<GENEX_EVAL:$<TARGET_PROPERTY:Tazzle_VST3,JUCE_PLUGIN_ARTEFACT_FILE>>"
        DESTINATION lib/vst3 USE_SOURCE_PERMISSIONS)
install(DIRECTORY "$<GENEX_EVAL:$<TARGET_PROPERTY:Tazzle_LV2,JUCE_PLUGIN_ARTEFACT_FILE>>"
        DESTINATION lib/lv2 USE_SOURCE_PERMISSIONS)
install(PROGRAMS "$<TARGET_FILE:Tazzle_Standalone>" DESTINATION bin RENAME tazzle)
if(TAZZLE_BUILD_TOOLS)
    install(TARGETS tazzle-render RUNTIME DESTINATION bin)
endif()

# The plug-ins and the standalone are not targets installed by install(TARGETS), so --strip (CPACK_STRIP_FILES)
# does not reach them: they are stripped here when it is asked for.
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        foreach(binary lib/vst3/Tazzle.vst3/Contents/x86_64-linux/Tazzle.so lib/lv2/Tazzle.lv2/libTazzle.so bin/tazzle)
            execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded --remove-section=.comment --remove-section=.note
                                    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${binary}\" COMMAND_ERROR_IS_FATAL ANY)
        endforeach()
    endif()")

install(FILES "${CMAKE_CURRENT_SOURCE_DIR}/Resources/package/com.quarrowtools.Tazzle.desktop"
        DESTINATION share/applications)
install(FILES "${CMAKE_CURRENT_SOURCE_DIR}/Resources/QuarrowLogo.png"
        DESTINATION share/icons/hicolor/512x512/apps RENAME tazzle.png)
install(FILES "${CMAKE_CURRENT_SOURCE_DIR}/Resources/package/copyright"
              "${CMAKE_CURRENT_SOURCE_DIR}/Resources/fonts/OFL.txt"
        DESTINATION "${TAZZLE_DOC_DIR}")
# Debian wants the changelog and the manual pages compressed; they are made here, so the package needs no step
# of its own.
set(TAZZLE_COMPRESSED_DOCS)
foreach(document changelog tazzle.1 tazzle-render.1)
    set(compressed "${CMAKE_CURRENT_BINARY_DIR}/package/${document}.gz")
    add_custom_command(OUTPUT "${compressed}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_CURRENT_BINARY_DIR}/package"
        COMMAND gzip -9 -n -c "${CMAKE_CURRENT_SOURCE_DIR}/Resources/package/${document}" > "${compressed}"
        DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/Resources/package/${document}"
        VERBATIM)
    list(APPEND TAZZLE_COMPRESSED_DOCS "${compressed}")
endforeach()
add_custom_target(tazzle_package_docs ALL DEPENDS ${TAZZLE_COMPRESSED_DOCS})
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/package/changelog.gz" DESTINATION "${TAZZLE_DOC_DIR}")
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/package/tazzle.1.gz" DESTINATION share/man/man1)
if(TAZZLE_BUILD_TOOLS)
    install(FILES "${CMAKE_CURRENT_BINARY_DIR}/package/tazzle-render.1.gz" DESTINATION share/man/man1)
endif()

set(CPACK_PACKAGE_NAME ${TAZZLE_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "Quarrow Tools")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quarrow Tools <support@quarrowtools.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tempo-synced multi-effect plug-in (VST3, LV2, standalone)")
set(CPACK_PACKAGE_HOMEPAGE_URL "${TAZZLE_VENDOR_SITE}")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# The synopsis is the summary above; CPack indents this long description as Debian asks.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tazzle is an audio-effect plug-in for digital audio workstations: ten
tempo-synced effects (filter, volume, crush, drive, delay, reverb, stutter,
tape stop, reverse, grain) in a reorderable chain, a 16-step grid that gates
each effect, four LFO and step modulators with sixteen routes, an XY pad and
106 factory presets.
.
This package holds the VST3 and LV2 plug-ins, the standalone program and
tazzle-render, which runs audio through the plug-in from the command line.")
include(CPack)
