# The package keys built into the updater. A build that cannot check
# signatures installs whatever a server (or whoever answers in its place)
# hands out, so that has to be asked for by name.
if(ZUVO_PACKAGE_PUBLIC_KEYS STREQUAL "" AND NOT ZUVO_ALLOW_UNSIGNED_PACKAGES)
    message(FATAL_ERROR
        "No package key: give the minisign public key(s) the packages are signed with, e.g.\n"
        "  -DZUVO_PACKAGE_PUBLIC_KEYS=RWQ...   (the second line of the .pub file minisign -G wrote;\n"
        "  several keys ;-separated), or build an updater that installs unsigned packages with\n"
        "  -DZUVO_ALLOW_UNSIGNED_PACKAGES=ON (see the README before doing so).")
endif()
foreach(key IN LISTS ZUVO_PACKAGE_PUBLIC_KEYS)
    string(STRIP "${key}" key)
    string(LENGTH "${key}" length)
    if(NOT key MATCHES "^RW[A-Za-z0-9+/]+$" OR NOT length EQUAL 56)
        message(FATAL_ERROR
            "ZUVO_PACKAGE_PUBLIC_KEYS: \"${key}\" is no minisign public key line "
            "(56 base64 characters starting with RW)")
    endif()
endforeach()
# Space-separated: the list separator would not survive a compile definition.
list(JOIN ZUVO_PACKAGE_PUBLIC_KEYS " " ZUVO_PACKAGE_KEYS_TEXT)
