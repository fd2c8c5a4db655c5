# Install rules and packages, included by the top-level CMakeLists.txt.
#   native:  cmake --install  -> bin/cnvqdn570conf, the manual page, the examples
#            cpack            -> the Debian package (DEB)
#   windows: cmake --install  -> CnvQDN570Conf.exe, readme.txt, examples\,
#                                bin\cnvqdn570conf.exe
#            target msi       -> the Windows installer (wixl, msibuild)
#            cpack            -> the ZIP of the same files
# Every package takes its version from project(); tools/package builds them all.
include(GNUInstallDirs)
# A Windows build installs into a folder of its own in the build tree unless
# told otherwise (not into the build machine's /usr/local).
if(WIN32 AND CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX ${CMAKE_BINARY_DIR}/install CACHE PATH "Install folder" FORCE)
endif()

set(cnv_packaging ${CMAKE_CURRENT_LIST_DIR})
set(cnv_packaging_out ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${cnv_packaging_out})
file(GLOB cnv_examples CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/examples/*.txt)

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "QDN-ConfigConverter")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "convert a VLK250 router configuration into a QDN570 firewall configuration")
set(CNV_PACKAGE_CONTACT "cnvqdn570conf maintainers <cnvqdn570conf@localhost>"
    CACHE STRING "Maintainer of the packages (name <address>)")
set(CPACK_PACKAGE_CONTACT ${CNV_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
# Installing (and so cpack) takes the targets as built instead of first
# building everything, test suites included: build the programs first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

if(WIN32)
  # Windows: one folder, as in the ZIP and under Program Files, with the
  # dialog program beside its readme and the command-line tool in bin\
  # (Windows file names ignore case: CnvQDN570Conf.exe and cnvqdn570conf.exe
  # are one name).
  install(TARGETS CnvQDN570Conf RUNTIME DESTINATION .)
  install(TARGETS cnvqdn570conf RUNTIME DESTINATION bin)
  install(FILES ${cnv_examples} DESTINATION examples)
  # UTF-8 with a byte-order mark and CR LF (the BOM is in the template): every
  # Notepad shows that correctly, whatever the system's code page, which
  # CP932 would only do on Japanese Windows.
  configure_file(${cnv_packaging}/readme.txt.in ${cnv_packaging_out}/readme.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${cnv_packaging_out}/readme.txt DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME CnvQDN570Conf-${PROJECT_VERSION}-x64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)

  # The installer is built with wixl from a staged install of the same files.
  # Its UpgradeCode is the product's for good: never change it. Each example
  # is a component of its own, with a GUID derived from the UpgradeCode and
  # its name, so that it stays the same from build to build.
  set(CNV_UPGRADE_CODE 8B7B56EA-D7EB-418B-8023-B413129C5736)
  set(CNV_WXS_EXAMPLES "")
  set(CNV_WXS_EXAMPLE_REFS "")
  foreach(example ${cnv_examples})
    get_filename_component(name ${example} NAME)
    string(MAKE_C_IDENTIFIER "example_${name}" id)
    string(UUID guid NAMESPACE ${CNV_UPGRADE_CODE} NAME "examples/${name}" TYPE SHA1 UPPER)
    string(APPEND CNV_WXS_EXAMPLES
           "<Component Id=\"${id}\" Guid=\"${guid}\" Win64=\"yes\"><File Id=\"${id}\" "
           "Name=\"${name}\" KeyPath=\"yes\" Source=\"$(var.SourceDir)/examples/${name}\"/>"
           "</Component>\n      ")
    string(APPEND CNV_WXS_EXAMPLE_REFS "<ComponentRef Id=\"${id}\"/>\n      ")
  endforeach()
  configure_file(${cnv_packaging}/cnvqdn570conf.wxs.in ${cnv_packaging_out}/cnvqdn570conf.wxs
                 @ONLY)

  # wixl knows no Environment element: msibuild (msitools) adds the table to
  # the MSI that wixl built; the .wxs schedules its two standard actions. The
  # row appends the tool's folder to the system PATH on install ("=" set, "*"
  # system, "[~];" after the present value) and takes that part out again on
  # removal ("-"). INSTALLDIR and CommandLineTool are the .wxs's names.
  string(CONCAT cnv_path_row
         "Environment\tName\tValue\tComponent_\n"
         "s72\tl255\tL255\ts72\n"
         "Environment\tEnvironment\n"
         "ToolOnPath\t=-*PATH\t[~];[INSTALLDIR]bin\tCommandLineTool\n")
  set(cnv_path_idt ${cnv_packaging_out}/Environment.idt)
  file(CONFIGURE OUTPUT ${cnv_path_idt} CONTENT "${cnv_path_row}" @ONLY)

  find_program(CNV_WIXL wixl)
  find_program(CNV_MSIBUILD msibuild)
  if(CNV_WIXL AND CNV_MSIBUILD)
    set(stage ${cnv_packaging_out}/msi-stage)
    set(msi ${CPACK_PACKAGE_DIRECTORY}/CnvQDN570Conf-${PROJECT_VERSION}-x64.msi)
    add_custom_command(
      OUTPUT ${msi}
      COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage} ${msi} wixl.msi
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CPACK_PACKAGE_DIRECTORY}
      COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${stage} --strip
      COMMAND ${CNV_WIXL} -a x64 -D Version=${PROJECT_VERSION} -D SourceDir=msi-stage -o wixl.msi
              ${cnv_packaging_out}/cnvqdn570conf.wxs
      # wixl can fail with status 0; the checksum fails when there is no MSI.
      COMMAND ${CMAKE_COMMAND} -E sha256sum wixl.msi
      COMMAND ${CNV_MSIBUILD} wixl.msi -i ${cnv_path_idt}
      # Only a complete MSI gets the package's name.
      COMMAND ${CMAKE_COMMAND} -E rename wixl.msi ${msi}
      DEPENDS CnvQDN570Conf cnvqdn570conf ${cnv_packaging_out}/cnvqdn570conf.wxs
              ${cnv_packaging_out}/readme.txt ${cnv_path_idt} ${cnv_examples}
      WORKING_DIRECTORY ${cnv_packaging_out}
      COMMENT "Building the Windows installer ${msi}"
      VERBATIM)
    add_custom_target(msi DEPENDS ${msi})
  else()
    message(STATUS "wixl or msibuild not found: no msi target (Debian packages wixl, msitools)")
  endif()
else()
  install(TARGETS cnvqdn570conf RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${cnv_examples} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
  install(FILES ${cnv_packaging}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # The manual page, from the tool's own --help and --version (in English:
  # LC_ALL=C) and packaging/cnvqdn570conf.h2m; compressed as Debian wants it.
  find_program(CNV_HELP2MAN help2man)
  find_program(CNV_GZIP gzip)
  if(CNV_HELP2MAN AND CNV_GZIP)
    set(man ${cnv_packaging_out}/cnvqdn570conf.1)
    add_custom_command(
      OUTPUT ${man}.gz
      COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${CNV_HELP2MAN}
              --include=${cnv_packaging}/cnvqdn570conf.h2m --output=${man}
              $<TARGET_FILE:cnvqdn570conf>
      COMMAND ${CNV_GZIP} -9nkf ${man}
      DEPENDS cnvqdn570conf ${cnv_packaging}/cnvqdn570conf.h2m
      COMMENT "Writing the manual page cnvqdn570conf.1 with help2man"
      VERBATIM)
    # The Japanese page, from the Japanese --help (help2man's --locale runs
    # the tool with that locale) and cnvqdn570conf.ja.h2m.
    set(man_ja ${cnv_packaging_out}/ja/cnvqdn570conf.1)
    add_custom_command(
      OUTPUT ${man_ja}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${cnv_packaging_out}/ja
      COMMAND ${CNV_HELP2MAN} --locale=ja_JP.UTF-8
              --include=${cnv_packaging}/cnvqdn570conf.ja.h2m --output=${man_ja}
              $<TARGET_FILE:cnvqdn570conf>
      COMMAND ${CNV_GZIP} -9nkf ${man_ja}
      DEPENDS cnvqdn570conf ${cnv_packaging}/cnvqdn570conf.ja.h2m
      COMMENT "Writing the Japanese manual page ja/cnvqdn570conf.1 with help2man"
      VERBATIM)
    add_custom_target(man ALL DEPENDS ${man}.gz ${man_ja}.gz)
    install(FILES ${man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${man_ja}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man1)
  else()
    message(STATUS "help2man not found: no manual page (Debian package help2man)")
  endif()

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The dependencies are what dpkg-shlibdeps finds: the C and C++ runtimes.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The long description; CPack puts the summary line before it.
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "cnvqdn570conf reads a configuration saved from a VLK250 router (a web-GUI\n"
      "save or a sectioned listing) and writes a configuration for a QDN570\n"
      "firewall. Lines that no conversion touches are kept as they are; -d shows\n"
      "the changes as a unified diff.")
endif()

include(CPack)
