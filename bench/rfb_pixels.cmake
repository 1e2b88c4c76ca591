find_package(PkgConfig REQUIRED)
pkg_check_modules(BENCH_PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
zav_benchmark(bench_rfb_pixels ${CMAKE_CURRENT_LIST_DIR}/rfb_pixels.cpp DEPS rfb PkgConfig::BENCH_PIXMAN)
