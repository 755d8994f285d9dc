# Tests of the unzip component's decoders; they decode real archives from
# the shared test data through memory-backed stages.
list(APPEND ZUVO_ZIP_DECODER_TESTS
    ${CMAKE_CURRENT_LIST_DIR}/Crc32Test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DecoderTestSupport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ExplodeTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/InflateTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UnreduceTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UnshrinkTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ZipCryptTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ZLibHelpersTest.cpp
)
