# Where `cmake --install` puts Zembla, in the layout Debian gives a program with private
# libraries and plug-ins: the program, the engine library and the Plugins folder together in
# one private folder (the program finds its plug-ins and its manual beside its own executable),
# the commands in bin as links into that folder, the manual and the desktop's files in share.
# Both folders are relative to the install prefix.
set(ZEMBLA_INSTALL_PROGRAM_DIR "lib/zembla" CACHE STRING
    "Folder of the program, the engine library and the Plugins folder, under the prefix")
set(ZEMBLA_INSTALL_DATA_DIR "share/zembla" CACHE STRING
    "Folder of the manual, under the prefix")
foreach(dir ZEMBLA_INSTALL_PROGRAM_DIR ZEMBLA_INSTALL_DATA_DIR)
    if(IS_ABSOLUTE "${${dir}}")
        message(FATAL_ERROR "${dir} must be relative to the install prefix")
    endif()
endforeach()

# zembla_install_link(<folder> <name> <target>): installs <folder>/<name> as a relative
# symbolic link to <target>; both folders are under the prefix, so the links hold in a staged
# install (DESTDIR) and after the tree is moved.
function(zembla_install_link folder name target)
    # Prefix both with "/" so that they compare as paths in one tree.
    cmake_path(SET absolute_target NORMALIZE "/${target}")
    cmake_path(RELATIVE_PATH absolute_target BASE_DIRECTORY "/${folder}"
               OUTPUT_VARIABLE relative)
    set(staged "${CMAKE_BINARY_DIR}/install-links/${folder}/${name}")
    get_filename_component(staged_folder "${staged}" DIRECTORY)
    file(MAKE_DIRECTORY "${staged_folder}")
    file(CREATE_LINK "${relative}" "${staged}" SYMBOLIC)
    # A symbolic link is installed as a link, and listed in install_manifest.txt.
    install(FILES "${staged}" DESTINATION "${folder}")
endfunction()
