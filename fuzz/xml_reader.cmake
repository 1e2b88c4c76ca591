zav_fuzzer(fuzz_xml_reader ${CMAKE_CURRENT_LIST_DIR}/xml_reader.cpp DEPS plat)
