# Writes one form of the GNOME Shell extension into OUTPUT: FORM's wrapper around the shared
# FocusReporter.js, and a metadata.json naming the shell versions (VERSIONS, comma-separated)
# that load it.
# cmake -DSOURCE=gnome-extension -DFORM=modules -DVERSIONS=45,46 -DOUTPUT=<folder> -P assemble.cmake
file(READ ${SOURCE}/FocusReporter.js FOCUS_REPORTER)
string(REPLACE "," "\", \"" SHELL_VERSIONS "\"${VERSIONS}\"")
configure_file(${SOURCE}/${FORM}/extension.js.in ${OUTPUT}/extension.js @ONLY)
configure_file(${SOURCE}/metadata.json.in ${OUTPUT}/metadata.json @ONLY)
