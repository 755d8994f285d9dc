# Decoders of the unzip component: CRC-32, the traditional cipher, and one
# decompressor per method over the per-entry stages (EntryStages.h).
list(APPEND ZUVO_ZIP_DECODER_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/Crc32.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Explode.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Inflate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Unreduce.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Unshrink.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ZipCrypt.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ZLibHelpers.cpp
)
