zav_benchmark(bench_ft_share ${CMAKE_CURRENT_LIST_DIR}/ft_share.cpp DEPS ft)
target_include_directories(bench_ft_share PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
