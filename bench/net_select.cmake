zav_benchmark(bench_net_select ${CMAKE_CURRENT_LIST_DIR}/net_select.cpp DEPS net)
