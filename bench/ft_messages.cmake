zav_benchmark(bench_ft_messages ${CMAKE_CURRENT_LIST_DIR}/ft_messages.cpp DEPS ft)
target_include_directories(bench_ft_messages PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
