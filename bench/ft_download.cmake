zav_benchmark(bench_ft_download ${CMAKE_CURRENT_LIST_DIR}/ft_download.cpp DEPS zavconfiglib ft)
target_include_directories(bench_ft_download PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_compile_definitions(bench_ft_download PRIVATE ZAV_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
