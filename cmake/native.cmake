# Native build: the portable core and its unit tests, with ASan and UBSan.
option(TF_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
if(TF_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

include(cmake/layers.cmake)

enable_testing()
find_package(GTest REQUIRED)
# SHA-1 for the tests' hash port (tests/fakes/posix_net.cpp).
find_package(OpenSSL REQUIRED)
file(GLOB NATIVE_TEST_SOURCES CONFIGURE_DEPENDS tests/*.cpp tests/fakes/*.cpp)
add_executable(core_tests ${NATIVE_TEST_SOURCES})
target_link_libraries(core_tests PRIVATE tf_app GTest::gtest GTest::gtest_main OpenSSL::Crypto)
add_test(NAME core_tests COMMAND core_tests)

# Developer tools built natively: one executable per tools/native/*.cpp.
file(GLOB NATIVE_TOOLS CONFIGURE_DEPENDS tools/native/*.cpp)
foreach(src ${NATIVE_TOOLS})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE tf_app)
endforeach()
