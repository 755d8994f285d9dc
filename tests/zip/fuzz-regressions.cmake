# Unit tests that keep faults found by the fuzz targets from coming back.
target_sources(zip_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ClaimedSizeRegressionTest.cpp)
