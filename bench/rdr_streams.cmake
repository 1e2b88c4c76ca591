zav_benchmark(bench_rdr_streams ${CMAKE_CURRENT_LIST_DIR}/rdr_streams.cpp DEPS rdr)
