zav_benchmark(bench_plat_strings ${CMAKE_CURRENT_LIST_DIR}/plat_strings.cpp DEPS plat)
