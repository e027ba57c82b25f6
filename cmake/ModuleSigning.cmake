# Native module signatures (the trailer qvl-cdn sign appends), fixed at build
# time as a deployment setting:
#
#   QVL_MODULE_PUBLIC_KEYS  PEM files of the ECDSA P-256 public keys a native
#                           module (Linux, and the module Wine loads) must be
#                           signed with; empty loads unsigned modules, with a
#                           Warning
#
# Development builds (QVL_TEST_SERVICES_PORT set) leave it empty to get a test
# key made in the build directory; the sample module is signed with it, and a
# second key serves the tests as "someone else's".
#
# qvl_sign_module(<target> <file>): after <target> is built, signs <file> in
# place with the build's test key (development builds only).

set(QVL_MODULE_PUBLIC_KEYS "" CACHE STRING
    "PEM files of the public keys native modules are signed with (a CMake list; empty: unverified)")

set(QVL_MODULE_SIGNING_KEY "")
set(QVL_MODULE_KEYS ${QVL_MODULE_PUBLIC_KEYS})
if(QVL_TEST_SERVICES_PORT AND NOT QVL_MODULE_PUBLIC_KEYS)
  find_program(QVL_OPENSSL openssl REQUIRED)
  set(QVL_TEST_MODULE_KEY_DIR ${CMAKE_BINARY_DIR}/test-module-keys)
  file(MAKE_DIRECTORY ${QVL_TEST_MODULE_KEY_DIR})
  foreach(name IN ITEMS signing other)
    if(NOT EXISTS ${QVL_TEST_MODULE_KEY_DIR}/${name}.pub.pem)
      execute_process(
        COMMAND ${QVL_OPENSSL} genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256
                -out ${QVL_TEST_MODULE_KEY_DIR}/${name}.pem
        COMMAND_ERROR_IS_FATAL ANY)
      execute_process(
        COMMAND ${QVL_OPENSSL} pkey -in ${QVL_TEST_MODULE_KEY_DIR}/${name}.pem -pubout
                -out ${QVL_TEST_MODULE_KEY_DIR}/${name}.pub.pem
        COMMAND_ERROR_IS_FATAL ANY)
    endif()
  endforeach()
  set(QVL_MODULE_SIGNING_KEY ${QVL_TEST_MODULE_KEY_DIR}/signing.pem)
  set(QVL_MODULE_OTHER_KEY ${QVL_TEST_MODULE_KEY_DIR}/other.pem)
  set(QVL_MODULE_KEYS ${QVL_TEST_MODULE_KEY_DIR}/signing.pub.pem)
endif()

# The C++ initializers of the keys, for the trust room's generated header.
set(QVL_MODULE_PUBLIC_KEY_LITERALS "")
list(LENGTH QVL_MODULE_KEYS QVL_MODULE_PUBLIC_KEY_COUNT)
foreach(pem IN LISTS QVL_MODULE_KEYS)
  if(NOT EXISTS "${pem}")
    message(FATAL_ERROR "QVL_MODULE_PUBLIC_KEYS: ${pem} does not exist")
  endif()
  find_program(QVL_OPENSSL openssl REQUIRED)
  get_filename_component(key_name "${pem}" NAME)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/module-keys)
  set(der ${CMAKE_BINARY_DIR}/module-keys/${key_name}.der)
  execute_process(COMMAND ${QVL_OPENSSL} pkey -pubin -in ${pem} -outform DER -out ${der}
                  RESULT_VARIABLE status ERROR_QUIET)
  file(READ ${der} hex HEX)
  if(NOT status EQUAL 0 OR NOT hex MATCHES "^3059301306072a8648ce3d020106082a8648ce3d030107034200")
    message(FATAL_ERROR "QVL_MODULE_PUBLIC_KEYS: ${pem} is no ECDSA P-256 public key")
  endif()
  file(SHA256 ${der} digest)
  string(SUBSTRING "${digest}" 0 16 id)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," id_bytes "${id}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," key_bytes "${hex}")
  string(APPEND QVL_MODULE_PUBLIC_KEY_LITERALS "    {{${id_bytes}}, {${key_bytes}}},  // ${key_name}\n")
endforeach()
if(QVL_MODULE_KEYS)
  message(STATUS "Native modules must be signed: ${QVL_MODULE_PUBLIC_KEY_COUNT} key(s)")
else()
  message(STATUS "Native modules are loaded unverified: QVL_MODULE_PUBLIC_KEYS is empty")
endif()

function(qvl_sign_module target file)
  if(NOT QVL_MODULE_SIGNING_KEY)
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${PROJECT_SOURCE_DIR}/tests/tools/sign_module.sh ${QVL_OPENSSL} ${QVL_MODULE_SIGNING_KEY} ${file}
    COMMENT "Signing ${file} with the build's test key"
    VERBATIM)
endfunction()
