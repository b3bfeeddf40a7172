# Copies a configuration document and adds CFBundleShortVersionString (the project version).
file(READ ${SOURCE} document)
string(JSON document SET "${document}" CFBundleShortVersionString "\"${VERSION}\"")
file(WRITE ${OUTPUT} "${document}\n")
