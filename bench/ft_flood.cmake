zav_benchmark(bench_ft_flood ${CMAKE_CURRENT_LIST_DIR}/ft_flood.cpp DEPS ft)
