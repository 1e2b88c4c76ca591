find_package(PkgConfig REQUIRED)
pkg_check_modules(BENCH_COMPOSITE_PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
zav_benchmark(bench_rfb_composite ${CMAKE_CURRENT_LIST_DIR}/rfb_composite.cpp
              DEPS rfb PkgConfig::BENCH_COMPOSITE_PIXMAN)
