find_package(OpenSSL 3 REQUIRED)
zav_benchmark(bench_plat_sha ${CMAKE_CURRENT_LIST_DIR}/plat_sha.cpp DEPS plat OpenSSL::Crypto)
