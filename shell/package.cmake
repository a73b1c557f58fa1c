# Packs the zip for Windows users (cmake -P, from the package target): the
# stripped binaries, BUILDINFO.txt, the README, the licence and the notices,
# under one folder. Two builds of one commit give the same bytes: every time
# in it is SOURCE_DATE_EPOCH, the last commit's time unless the caller sets
# one; no owner is recorded; entries go in name order. A tree with changes
# not committed gives Kivotra-<version>-modified-win32.zip. Writes the zip's
# .sha256 beside it.
#   -DBUILD=<build dir> -DSOURCE=<source dir> -DVERSION=<x.y.z> -DBUILD_TYPE=<type>
# Or, to zip a folder the same way (the signed copy of the zip's folder):
#   -DPACK=<folder> -DZIP=<file.zip>
cmake_minimum_required(VERSION 3.25)
set(ENV{TZ} UTC)  # zip stores local times

function(pack folder zip)  # with its .sha256 beside it
  get_filename_component(parent ${folder} DIRECTORY)
  get_filename_component(name ${folder} NAME)
  file(REMOVE ${zip} ${zip}.sha256)
  # install sets the files' modes; the folder's would follow the umask.
  file(CHMOD ${folder} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                             WORLD_READ WORLD_EXECUTE)
  file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE ${parent} ${folder}/*)
  list(SORT entries)
  list(PREPEND entries ${name})
  foreach(entry IN LISTS entries)
    execute_process(COMMAND touch -h -d @$ENV{SOURCE_DATE_EPOCH} ${parent}/${entry} COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
  # -X: no owner, group or extra times.
  execute_process(COMMAND zip -q -X ${zip} ${entries} WORKING_DIRECTORY ${parent} COMMAND_ERROR_IS_FATAL ANY)
  file(SHA256 ${zip} hash)
  get_filename_component(file_name ${zip} NAME)
  file(WRITE ${zip}.sha256 "${hash}  ${file_name}\n")
  message("${zip}\nSHA-256 ${hash}")
endfunction()

function(git out)
  execute_process(COMMAND git -C ${SOURCE} ${ARGN} OUTPUT_VARIABLE text OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(failed)
    set(text "")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  git(epoch log -1 --format=%ct)
  if(NOT epoch)
    message(WARNING "${SOURCE} has no git history to date the zip by: 1980-01-01, zip's first day.")
    set(epoch 315532800)
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()

if(DEFINED PACK)
  pack(${PACK} ${ZIP})
  return()
endif()

git(commit rev-parse HEAD)
git(changes status --porcelain --untracked-files=no)
set(name Kivotra-${VERSION}-win32)
if(NOT commit)
  set(commit "none (not built from a git checkout)")
  set(tree "unknown")
elseif(changes)
  set(name Kivotra-${VERSION}-modified-win32)
  set(tree "modified: changes not committed went into this build")
  message(WARNING "${SOURCE} has changes not committed: packed as ${name}.")
else()
  set(tree "clean")
endif()

set(out ${BUILD}/package)
set(stage ${out}/stage)
file(REMOVE_RECURSE ${stage})
file(GLOB old ${out}/Kivotra-*.zip ${out}/Kivotra-*.zip.sha256)
if(old)
  file(REMOVE ${old})
endif()
# The strip writes SOURCE_DATE_EPOCH into the binaries' headers.
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${stage}/${name} --strip
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
# Padded and checksummed as signing would do: removing a signature then gives
# these bytes back.
find_program(python NAMES python3 HINTS /usr/bin REQUIRED)
execute_process(COMMAND ${python} ${CMAKE_CURRENT_LIST_DIR}/pe_checksum.py
                        ${stage}/${name}/kivotra.exe ${stage}/${name}/bass.dll COMMAND_ERROR_IS_FATAL ANY)

# What a rebuilder needs to get the same bytes, and to check them.
string(TIMESTAMP date "%Y-%m-%d %H:%M:%S UTC" UTC)  # of SOURCE_DATE_EPOCH, when set
set(info
  "Kivotra ${VERSION} for Windows (32-bit): how this zip was built"
  ""
  "commit             ${commit}"
  "tree               ${tree}"
  "SOURCE_DATE_EPOCH  $ENV{SOURCE_DATE_EPOCH} (${date})"
  "build type         ${BUILD_TYPE}"
  "CMake              ${CMAKE_VERSION}"
  ""
  "Debian packages")
foreach(package g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-common mingw-w64-i686-dev
                binutils-mingw-w64-i686 zip)
  execute_process(COMMAND dpkg-query -W -f=\${Version} ${package}
                  OUTPUT_VARIABLE version RESULT_VARIABLE failed ERROR_QUIET)
  if(failed OR NOT version)
    set(version "not installed from Debian")
  endif()
  string(APPEND package "                        ")
  string(SUBSTRING "${package}" 0 25 package)
  list(APPEND info "  ${package}${version}")
endforeach()
list(APPEND info "" "SHA-256 of the binaries, unsigned (a signed one gives this once its signature is removed)")
foreach(binary kivotra.exe bass.dll)
  file(SHA256 ${stage}/${name}/${binary} hash)
  list(APPEND info "  ${hash}  ${binary}")
endforeach()
list(JOIN info "\r\n" info)  # for Notepad
file(WRITE ${stage}/${name}/BUILDINFO.txt "${info}\r\n")

pack(${stage}/${name} ${out}/${name}.zip)
