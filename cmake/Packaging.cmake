# Desktop integration and the Debian package.
#
# `cmake --install` puts the program and vellora-render in bin (their own
# CMakeLists.txt say so); this file adds what a Linux desktop expects around
# them: the menu entry, the icons of the hicolor theme, the user guide (the
# window's web-link button opens <bindir>/../share/doc/vellora/index.html) and
# the example project. `cpack -G DEB` turns the install tree into vellora_*.deb.

set(VELLORA_DOC_DIR share/doc/vellora)

install(FILES ${CMAKE_SOURCE_DIR}/packaging/vellora.desktop DESTINATION share/applications)
# The project files' type, so that a file manager opens .mor files with the
# program; Debian's triggers update the MIME and desktop databases.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/vellora-mime.xml DESTINATION share/mime/packages
        RENAME vellora.xml)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/packaging/icons/hicolor DESTINATION share/icons
        FILES_MATCHING PATTERN "vellora.png" PATTERN "vellora.svg")

# The guide is a page with its stylesheet and screenshots; whatever of them
# exists is installed, so a tree without screenshots still installs.
file(GLOB VELLORA_DOC_FILES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/docs/*.html ${CMAKE_SOURCE_DIR}/docs/*.css ${CMAKE_SOURCE_DIR}/docs/*.png
     ${CMAKE_SOURCE_DIR}/docs/*.jpg)
install(FILES ${VELLORA_DOC_FILES} DESTINATION ${VELLORA_DOC_DIR})
# The licence, under the name Debian gives it in every package's folder.
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${VELLORA_DOC_DIR} RENAME copyright)
install(FILES ${CMAKE_SOURCE_DIR}/examples/faces.mor ${CMAKE_SOURCE_DIR}/examples/face1.png
              ${CMAKE_SOURCE_DIR}/examples/face2.png ${CMAKE_SOURCE_DIR}/examples/make_example.py
        DESTINATION ${VELLORA_DOC_DIR}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vellora)
set(CPACK_PACKAGE_VENDOR "Vellora")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vellora developers <vellora@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "picture morphing: turn one picture into another")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # vellora_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# CPack puts the summary above this text and indents it for the control file.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vellora loads a start picture and an end picture, lets you mark pairs of
corresponding areas (an eye and the same eye, a mouth and the same mouth) and
computes the in-between pictures, in which every marked area travels and
changes its size from its place in the first picture to its place in the
second. Any in-between picture can be shown and saved, the sequence can be
played back and saved as a video (AVI with Motion JPEG, MP4 with H.264, WebM
with VP9, animated GIF) or as numbered pictures, and the project is kept in a
.mor file, which the desktop opens with Vellora.

The package holds the program, the command-line renderer vellora-render, a
user guide and an example project.")
# The libraries the two programs link (Qt 6, FFmpeg) are found by dpkg-shlibdeps;
# the Qt plugins they load at run time are not linked, so they are named here:
# the TIFF reader comes with the image format plugins, and Find pairs reads the
# face detector's cascades from opencv-data.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins, opencv-data")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, shared-mime-info, desktop-file-utils")

include(CPack)
