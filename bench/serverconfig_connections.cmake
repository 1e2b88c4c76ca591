zav_benchmark(bench_serverconfig_connections ${CMAKE_CURRENT_LIST_DIR}/serverconfig_connections.cpp
              DEPS serverconfig)
