# The Windows installation and its NSIS installer (cpack -G NSIS in the build
# folder makes plaxon-<version>-win64.exe). Everything goes below one folder:
# the two programs and the DLLs they load beside them, the Qt plugins they
# load in plugins/, Qt's Czech texts in translations/, the demo installation
# in examples/. The uninstaller removes all of it, shortcuts and the entry in
# the installed programs list included.

set(kit ${WINKIT_PREFIX})
if(NOT kit)
    get_filename_component(kit "${Qt6_DIR}/../../.." ABSOLUTE)
endif()

install(TARGETS plaxon plaxon-station RUNTIME DESTINATION .)

# The DLLs the programs import, directly or through another DLL, and nothing
# else (objdump -p of each binary lists them; the rest are system DLLs).
set(PLAXON_WINDOWS_DLLS
    Qt6Core Qt6Gui Qt6Widgets Qt6Network Qt6HttpServer Qt6WebSockets
    Qt6Svg            # through the SVG icon engine and image format plugins
    liblo-7
    libstdc++-6 libgcc_s_seh-1 libwinpthread-1)
foreach(dll ${PLAXON_WINDOWS_DLLS})
    install(FILES ${kit}/bin/${dll}.dll DESTINATION .)
endforeach()
# Plugins Qt loads for the panel: the Windows platform, its native style, and
# the SVG icons of the resources.
install(FILES ${kit}/plugins/platforms/qwindows.dll DESTINATION plugins/platforms)
install(FILES ${kit}/plugins/styles/qwindowsvistastyle.dll DESTINATION plugins/styles)
install(FILES ${kit}/plugins/iconengines/qsvgicon.dll DESTINATION plugins/iconengines)
install(FILES ${kit}/plugins/imageformats/qsvg.dll DESTINATION plugins/imageformats)
# Qt's own texts in Czech (the standard buttons), platform-independent files.
find_file(PLAXON_QTBASE_CS qtbase_cs.qm PATHS /usr/share/qt6/translations NO_CMAKE_FIND_ROOT_PATH REQUIRED)
install(FILES ${PLAXON_QTBASE_CS} DESTINATION translations)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/windows/qt.conf DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/demo/ DESTINATION examples)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/copyright DESTINATION . RENAME copyright.txt)

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME Plaxon)
set(CPACK_PACKAGE_VENDOR "The Plaxon developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control panel for up to four display stations")
set(CPACK_PACKAGE_FILE_NAME plaxon-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Plaxon)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Plaxon)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/copyright)
set(CPACK_STRIP_FILES ON)
set(CPACK_NSIS_PACKAGE_NAME Plaxon)
set(CPACK_NSIS_DISPLAY_NAME "Plaxon ${PROJECT_VERSION}")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
# A 64-bit installer and uninstaller, like the programs they carry.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_MUI_ICON ${CMAKE_CURRENT_SOURCE_DIR}/windows/plaxon.ico)
set(CPACK_NSIS_MUI_UNIICON ${CMAKE_CURRENT_SOURCE_DIR}/windows/plaxon.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME plaxon.exe)
set(CPACK_NSIS_URL_INFO_ABOUT "https://github.com/plaxon/plaxon")
set(CPACK_NSIS_MODIFY_PATH OFF)
# Start-menu shortcuts: the panel working in the examples folder (a
# shortcut starts in the output folder set before it), the examples folder
# itself, and the uninstaller (CPack adds that one).
set(CPACK_NSIS_CREATE_ICONS_EXTRA "
    SetOutPath '$INSTDIR\\\\examples'
    CreateShortCut '$SMPROGRAMS\\\\$STARTMENU_FOLDER\\\\Plaxon.lnk' '$INSTDIR\\\\plaxon.exe'
    CreateShortCut '$SMPROGRAMS\\\\$STARTMENU_FOLDER\\\\Plaxon examples.lnk' '$INSTDIR\\\\examples'
    SetOutPath '$INSTDIR'")
set(CPACK_NSIS_DELETE_ICONS_EXTRA "
    Delete '$SMPROGRAMS\\\\$MUI_TEMP\\\\Plaxon.lnk'
    Delete '$SMPROGRAMS\\\\$MUI_TEMP\\\\Plaxon examples.lnk'")
include(CPack)
