find_package(LibXml2 REQUIRED)
find_package(EXPAT REQUIRED)
zav_benchmark(bench_plat_xml ${CMAKE_CURRENT_LIST_DIR}/plat_xml.cpp
              DEPS plat LibXml2::LibXml2 EXPAT::EXPAT)
