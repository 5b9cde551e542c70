# Sets LAGVANE_UPDATE_KEY (cache) and writes generated/update_key.h with that key's text.
find_program(OPENSSL_PROGRAM openssl)
set(update_key_default ${PROJECT_SOURCE_DIR}/resources/update_key.pem)
if(LAGVANE_UPDATE_TEST_KEY)
  if(NOT OPENSSL_PROGRAM)
    message(FATAL_ERROR "LAGVANE_UPDATE_TEST_KEY needs the openssl program (scripts/setup installs it)")
  endif()
  # private.pem signs, public.pem is built in; the .blob copies are the form CryptoAPI imports, for
  # the test fakes. other-*: a second pair, for signatures by a key the program does not know.
  set(LAGVANE_TEST_KEY_DIR ${CMAKE_BINARY_DIR}/update-key)
  foreach(pair IN ITEMS other- "")
    if(NOT EXISTS ${LAGVANE_TEST_KEY_DIR}/${pair}public.pem)
      file(MAKE_DIRECTORY ${LAGVANE_TEST_KEY_DIR})
      set(key ${LAGVANE_TEST_KEY_DIR}/${pair}private)
      execute_process(
        COMMAND ${OPENSSL_PROGRAM} genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:3072 -out ${key}.pem
        COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET ERROR_QUIET)
      execute_process(COMMAND ${OPENSSL_PROGRAM} rsa -in ${key}.pem -outform MSBLOB -out ${key}.blob
                      COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET ERROR_QUIET)
      # Written last: a pair counts as made once its public half is there.
      execute_process(COMMAND ${OPENSSL_PROGRAM} pkey -in ${key}.pem -pubout -out ${LAGVANE_TEST_KEY_DIR}/${pair}public.pem
                      COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET ERROR_QUIET)
    endif()
  endforeach()
  set(update_key_default ${LAGVANE_TEST_KEY_DIR}/public.pem)
endif()
set(LAGVANE_UPDATE_KEY ${update_key_default} CACHE FILEPATH
    "PEM PUBLIC KEY whose private half signs version.dat (RSA, 3072 bits)")

if(NOT EXISTS ${LAGVANE_UPDATE_KEY})
  message(FATAL_ERROR "LAGVANE_UPDATE_KEY names no file: '${LAGVANE_UPDATE_KEY}'")
endif()
file(READ ${LAGVANE_UPDATE_KEY} update_key_text)
string(STRIP "${update_key_text}" update_key_text)
if(NOT update_key_text MATCHES "^-----BEGIN PUBLIC KEY-----[\r\n]+[A-Za-z0-9+/=\r\n]+-----END PUBLIC KEY-----$")
  message(FATAL_ERROR "LAGVANE_UPDATE_KEY must be a PEM PUBLIC KEY file (never a private key): '${LAGVANE_UPDATE_KEY}'")
endif()
if(OPENSSL_PROGRAM)
  execute_process(COMMAND ${OPENSSL_PROGRAM} pkey -pubin -in ${LAGVANE_UPDATE_KEY} -noout -text
                  OUTPUT_VARIABLE update_key_info ERROR_QUIET RESULT_VARIABLE update_key_failed)
  if(update_key_failed OR NOT update_key_info MATCHES "^Public-Key: \\(3072 bit\\)")
    message(FATAL_ERROR "LAGVANE_UPDATE_KEY must hold an RSA key of 3072 bits: '${LAGVANE_UPDATE_KEY}'")
  endif()
endif()
# A new key file reconfigures, and the header changes only when the key does.
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${LAGVANE_UPDATE_KEY})
configure_file(${PROJECT_SOURCE_DIR}/resources/update_key.h.in ${CMAKE_BINARY_DIR}/generated/update_key.h @ONLY)
