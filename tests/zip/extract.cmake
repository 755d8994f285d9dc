# Tests of the extraction driver: the shared corpus to disk, stage edge
# cases, existing files, paths that try to leave the destination, events.
list(APPEND ZUVO_ZIP_EXTRACT_TESTS
    ${CMAKE_CURRENT_LIST_DIR}/ExtractCorpusTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ExtractFilesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ExtractRunTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ExtractStagesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ExtractTestSupport.cpp
)
