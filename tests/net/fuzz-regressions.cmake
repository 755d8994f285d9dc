# Unit tests that keep faults found by the fuzz targets from coming back.
target_sources(net_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/PeerCountRegressionTest.cpp)
