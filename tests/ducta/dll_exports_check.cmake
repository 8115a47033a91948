# DUCTA.dll exports exactly the six DCT_ functions under their own names, and imports nothing
# but the system's libraries (the GCC run-time is linked in), so it runs alone beside a program.
#
#     cmake -DOBJDUMP=x86_64-w64-mingw32-objdump -DDLL=out/DUCTA.dll -P dll_exports_check.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed (${result})")
endif()

# The name table: "[Ordinal/Name Pointer] Table", then one line "\t[   0] DCT_Close" per name.
# (The brackets go before the text becomes a list: CMake lists do not split inside them.)
string(REGEX MATCH "Ordinal/Name Pointer. Table\n(\t.[ 0-9]+. [^\n]*\n)*" table "${dump}")
string(REGEX REPLACE "Ordinal/Name Pointer. Table\n" "" table "${table}")
string(REGEX REPLACE "\t.[ 0-9]+. ([^\n]*)\n" "\\1;" names "${table}")
string(REGEX REPLACE ";$" "" names "${names}")
list(SORT names)
set(wanted DCT_Close DCT_Open DCT_Read DCT_Write DCT_module_close DCT_module_open)
if(NOT names STREQUAL wanted)
    message(FATAL_ERROR "DUCTA.dll exports [${names}], not exactly [${wanted}]")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
list(TRANSFORM imports REPLACE "^DLL Name: " "")
foreach(import IN LISTS imports)
    string(TOUPPER "${import}" name)
    if(NOT name MATCHES "^(KERNEL32|MSVCRT|UCRTBASE|ADVAPI32|USER32|WS2_32|API-MS-WIN-[-A-Z0-9]+)\\.DLL$")
        message(FATAL_ERROR "DUCTA.dll needs ${import} beside it; only system libraries may be imported")
    endif()
endforeach()
message(STATUS "DUCTA.dll exports ${names} and imports ${imports}")
