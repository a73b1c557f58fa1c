# Packs the zip for Windows users (cmake -P, from the package target): the
# stripped binaries, the README, the licence and the notices, under one
# folder. Two builds of one commit give the same bytes: every time in it is
# SOURCE_DATE_EPOCH, the last commit's time unless the caller sets one; no
# owner is recorded; entries go in name order. Writes NAME.zip.sha256 beside it.
#   -DBUILD=<build dir> -DSOURCE=<source dir> -DNAME=<Kivotra-x.y.z-win32>
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C "${SOURCE}" log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed ERROR_QUIET)
  if(failed OR NOT epoch)
    message(WARNING "${SOURCE} has no git history to date the zip by: 1980-01-01, zip's first day.")
    set(epoch 315532800)
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
set(ENV{TZ} UTC)  # zip stores local times

set(stage ${BUILD}/package/stage)
set(zip ${BUILD}/package/${NAME}.zip)
file(REMOVE_RECURSE ${stage})
file(REMOVE ${zip} ${zip}.sha256)
# The strip writes SOURCE_DATE_EPOCH into the binaries' headers.
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${stage}/${NAME} --strip
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)

# install sets the files' modes; the folder's would follow the umask.
file(CHMOD ${stage}/${NAME} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                  WORLD_READ WORLD_EXECUTE)
file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE ${stage} ${stage}/*)
list(SORT entries)
list(PREPEND entries ${NAME})
foreach(entry IN LISTS entries)
  execute_process(COMMAND touch -h -d @$ENV{SOURCE_DATE_EPOCH} ${stage}/${entry} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
# -X: no owner, group or extra times.
execute_process(COMMAND zip -q -X ${zip} ${entries} WORKING_DIRECTORY ${stage} COMMAND_ERROR_IS_FATAL ANY)

file(SHA256 ${zip} hash)
get_filename_component(file_name ${zip} NAME)
file(WRITE ${zip}.sha256 "${hash}  ${file_name}\n")
message("${zip}\nSHA-256 ${hash}")
