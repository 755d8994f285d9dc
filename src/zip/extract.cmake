# The extraction driver of the unzip component: the run and its entries,
# output places and files, the memory target, and the stages over the
# archive and the run's target.
list(APPEND ZUVO_ZIP_EXTRACT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/BackgroundWriter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EntryAttributes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ExtractStages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MemoryTarget.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OutputFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OutputPaths.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UnZipperExtract.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UnZipperExtractEntry.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UnZipperExtractTargets.cpp
)
