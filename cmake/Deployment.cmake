# Deployment settings, fixed at build time: the hosts the bootstrapper talks to
# and the certificate authorities it trusts. A deployment sets them once:
#
#   QVL_CDN_HOST                    production module CDN host
#   QVL_CDN_GAMEDEV_HOST            GameDev module CDN host
#   QVL_TELEMETRY_SDK_HOST          telemetry host for SDK events
#   QVL_TELEMETRY_EVENTSTREAM_HOST  telemetry host for the event stream
#   QVL_CA_BUNDLE                   PEM file of the CAs the embedded bundle holds; its bytes
#                                   are embedded in the executable
#   QVL_TRUST                       which CAs transfers trust: "system" (the player's store:
#                                   Windows store through Schannel, OpenSSL's default locations
#                                   on Linux; under Wine the embedded bundle) or "bundle" (the
#                                   embedded bundle only, everywhere)
#   QVL_MAX_MODULE_SIZE             largest module download in bytes (default 256 MiB); a larger
#                                   one fails like a broken transfer and is never cached
#   QVL_MODULE_PUBLIC_KEYS          PEM files of the keys native modules are signed with
#                                   (cmake/ModuleSigning.cmake)
#   QVL_ACCEPTED_SIGNERS            names a Windows module's signing certificate may carry, and
#   QVL_ACCEPTED_SIGNER_KEYS        optionally the SHA-256 of its public key (src/launch/trust)
#
# Hosts are "name" or "name:port"; URLs are formed as https://<host>/...
# The Windows executable's branding is set beside these (cmake/Branding.cmake);
# scripts/release.sh takes both from the command line or a file.
#
# Development builds set QVL_TEST_SERVICES_PORT (a base port, one per preset).
# Then the hosts point at the local test services on that base (CDN on the
# port, GameDev CDN on 127.0.0.1 at the same port, telemetry on port + 100) and
# the trusted bundle is a test CA generated into the build directory; the four
# host variables and QVL_CA_BUNDLE are not used. Their module size limit is 1 MiB
# unless QVL_MAX_MODULE_SIZE is given, so the tests of the limit stay small.
# QVL_TRUST must be "bundle" there (no test may pass through a store of the machine).
#
# Run as a script (cmake -DINPUT=<file> -DOUTPUT=<cpp> -P Deployment.cmake) it
# writes the C++ source that embeds INPUT's bytes.

if(CMAKE_SCRIPT_MODE_FILE)
  file(READ "${INPUT}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)"
         "\\1\n" bytes "${bytes}")
  file(WRITE "${OUTPUT}.tmp"
       "// Generated from ${INPUT}; do not edit.\n"
       "#include \"net/deployment.h\"\n\n"
       "namespace quarvel::deployment {\n"
       "namespace {\n"
       "const unsigned char kBundle[${size} + 1] = {\n${bytes}0};\n"
       "}  // namespace\n\n"
       "std::span<const unsigned char> TrustedCaBundle() { return {kBundle, ${size}}; }\n\n"
       "}  // namespace quarvel::deployment\n")
  file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
  return()
endif()

set(QVL_CDN_HOST "modules.cdn.quarvel.example" CACHE STRING "Production module CDN host (name or name:port)")
set(QVL_CDN_GAMEDEV_HOST "modules-gamedev.cdn.quarvel.example" CACHE STRING
    "GameDev module CDN host (name or name:port)")
set(QVL_TELEMETRY_SDK_HOST "telemetry.quarvel.example" CACHE STRING "Telemetry host for SDK events")
set(QVL_TELEMETRY_EVENTSTREAM_HOST "eventstream.quarvel.example" CACHE STRING
    "Telemetry host for the event stream")
set(QVL_CA_BUNDLE "/etc/ssl/certs/ca-certificates.crt" CACHE FILEPATH
    "PEM bundle of the certificate authorities every transfer trusts (embedded)")
set(QVL_MAX_MODULE_SIZE "" CACHE STRING
    "Largest module download in bytes (empty: 256 MiB, development builds 1 MiB)")
set(QVL_TRUST "" CACHE STRING
    "Certificate authorities transfers trust: system or bundle (empty: system, or bundle for development builds)")
set(QVL_TEST_SERVICES_PORT "" CACHE STRING
    "Development builds: base port of the local test services (empty for a deployment build)")

if(QVL_TEST_SERVICES_PORT)
  if(NOT QVL_TEST_SERVICES_PORT MATCHES "^[0-9]+$" OR QVL_TEST_SERVICES_PORT GREATER 64000)
    message(FATAL_ERROR "QVL_TEST_SERVICES_PORT must be a port number up to 64000")
  endif()
  math(EXPR telemetry_port "${QVL_TEST_SERVICES_PORT} + 100")
  set(QVL_DEPLOYED_CDN_HOST "localhost:${QVL_TEST_SERVICES_PORT}")
  set(QVL_DEPLOYED_CDN_GAMEDEV_HOST "127.0.0.1:${QVL_TEST_SERVICES_PORT}")
  set(QVL_DEPLOYED_TELEMETRY_SDK_HOST "localhost:${telemetry_port}")
  set(QVL_DEPLOYED_TELEMETRY_EVENTSTREAM_HOST "127.0.0.1:${telemetry_port}")
  # Test certificates, made once per build directory (never committed).
  set(QVL_TEST_PKI_DIR ${CMAKE_BINARY_DIR}/test-pki)
  set(QVL_DEPLOYED_CA_BUNDLE ${QVL_TEST_PKI_DIR}/ca.pem)
  # Where the test services keep their state, and what tests find there.
  set(QVL_TEST_SERVICES_DIR ${CMAKE_BINARY_DIR}/test-services)
  set(QVL_TEST_CDN_ROOT ${QVL_TEST_SERVICES_DIR}/cdn-root)
  set(QVL_TEST_COLLECTOR_RECORDS ${QVL_TEST_SERVICES_DIR}/collector/records.jsonl)
else()
  set(QVL_DEPLOYED_CDN_HOST "${QVL_CDN_HOST}")
  set(QVL_DEPLOYED_CDN_GAMEDEV_HOST "${QVL_CDN_GAMEDEV_HOST}")
  set(QVL_DEPLOYED_TELEMETRY_SDK_HOST "${QVL_TELEMETRY_SDK_HOST}")
  set(QVL_DEPLOYED_TELEMETRY_EVENTSTREAM_HOST "${QVL_TELEMETRY_EVENTSTREAM_HOST}")
  set(QVL_DEPLOYED_CA_BUNDLE "${QVL_CA_BUNDLE}")
  if(NOT EXISTS "${QVL_CA_BUNDLE}")
    message(FATAL_ERROR "QVL_CA_BUNDLE ${QVL_CA_BUNDLE} does not exist")
  endif()
endif()
if(QVL_MAX_MODULE_SIZE)
  set(QVL_DEPLOYED_MAX_MODULE_SIZE "${QVL_MAX_MODULE_SIZE}")
elseif(QVL_TEST_SERVICES_PORT)
  set(QVL_DEPLOYED_MAX_MODULE_SIZE 1048576)
else()
  set(QVL_DEPLOYED_MAX_MODULE_SIZE 268435456)
endif()
if(NOT QVL_DEPLOYED_MAX_MODULE_SIZE MATCHES "^[1-9][0-9]*$" OR QVL_DEPLOYED_MAX_MODULE_SIZE LESS 4097)
  message(FATAL_ERROR "QVL_MAX_MODULE_SIZE must be a byte count above 4096")
endif()
if(QVL_TRUST STREQUAL "")
  if(QVL_TEST_SERVICES_PORT)
    set(QVL_DEPLOYED_TRUST bundle)
  else()
    set(QVL_DEPLOYED_TRUST system)
  endif()
elseif(QVL_TRUST STREQUAL "system" OR QVL_TRUST STREQUAL "bundle")
  set(QVL_DEPLOYED_TRUST ${QVL_TRUST})
else()
  message(FATAL_ERROR "QVL_TRUST must be system or bundle, not \"${QVL_TRUST}\"")
endif()
if(QVL_TEST_SERVICES_PORT AND NOT QVL_DEPLOYED_TRUST STREQUAL "bundle")
  message(FATAL_ERROR "Development builds trust only their test CA: QVL_TRUST must be bundle")
endif()
if(QVL_DEPLOYED_TRUST STREQUAL "system")
  set(QVL_DEPLOYED_TRUST_POLICY System)
else()
  set(QVL_DEPLOYED_TRUST_POLICY Bundle)
endif()
foreach(host IN ITEMS "${QVL_DEPLOYED_CDN_HOST}" "${QVL_DEPLOYED_CDN_GAMEDEV_HOST}"
                     "${QVL_DEPLOYED_TELEMETRY_SDK_HOST}" "${QVL_DEPLOYED_TELEMETRY_EVENTSTREAM_HOST}")
  if(NOT host MATCHES "^([A-Za-z0-9.-]+|\\[[0-9A-Fa-f:.]+\\])(:[0-9]+)?$")
    message(FATAL_ERROR "\"${host}\" is no host name: use name or name:port, without scheme or path")
  endif()
endforeach()
message(STATUS "Deployment: CDN ${QVL_DEPLOYED_CDN_HOST}, GameDev CDN ${QVL_DEPLOYED_CDN_GAMEDEV_HOST}, "
               "telemetry ${QVL_DEPLOYED_TELEMETRY_SDK_HOST} and ${QVL_DEPLOYED_TELEMETRY_EVENTSTREAM_HOST}, "
               "trust ${QVL_DEPLOYED_TRUST}, bundle from ${QVL_DEPLOYED_CA_BUNDLE}, modules up to ${QVL_DEPLOYED_MAX_MODULE_SIZE} bytes")

# qvl_deployment_sources(<target>): adds the generated sources that define
# the functions of net/deployment.h.
function(qvl_deployment_sources target)
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/generated)
  configure_file(${PROJECT_SOURCE_DIR}/src/net/deployment_hosts.cpp.in ${generated}/deployment_hosts.cpp @ONLY)
  if(QVL_TEST_SERVICES_PORT)
    add_custom_command(
      OUTPUT ${QVL_TEST_PKI_DIR}/ca.pem
      COMMAND ${PROJECT_SOURCE_DIR}/tests/services/make-test-pki.sh ${QVL_TEST_PKI_DIR}
      DEPENDS ${PROJECT_SOURCE_DIR}/tests/services/make-test-pki.sh
      COMMENT "Making the test certificates in ${QVL_TEST_PKI_DIR}")
  endif()
  add_custom_command(
    OUTPUT ${generated}/trusted_ca_bundle.cpp
    COMMAND ${CMAKE_COMMAND} -DINPUT=${QVL_DEPLOYED_CA_BUNDLE} -DOUTPUT=${generated}/trusted_ca_bundle.cpp
            -P ${PROJECT_SOURCE_DIR}/cmake/Deployment.cmake
    DEPENDS ${QVL_DEPLOYED_CA_BUNDLE} ${PROJECT_SOURCE_DIR}/cmake/Deployment.cmake
    COMMENT "Embedding the trusted CA bundle ${QVL_DEPLOYED_CA_BUNDLE}")
  target_sources(${target} PRIVATE ${generated}/deployment_hosts.cpp ${generated}/trusted_ca_bundle.cpp)
endfunction()
