zav_benchmark(bench_chat_history ${CMAKE_CURRENT_LIST_DIR}/chat_history.cpp DEPS chat)
