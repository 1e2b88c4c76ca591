zav_benchmark(bench_tx_repaint ${CMAKE_CURRENT_LIST_DIR}/tx_repaint.cpp DEPS tx)
