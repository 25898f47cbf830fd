# Runs widl (WIDL, ARGS as a ;-list) for a type library and passes its messages on, except the two
# "duplicate uuid" warnings widl 7.0 gives for every library that imports stdole2.tlb: IDispatch
# ({00020400-...}), declared both by the imported library and by our stand-in oaidl.idl, and the
# OLE Automation library itself ({00020430-...}). Fails when widl fails.
execute_process(COMMAND ${WIDL} ${ARGS} RESULT_VARIABLE result OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
string(REPLACE "warning: duplicate uuid {00020400-0000-0000-c000-000000000046}\n" "" err
       "${err}")
string(REPLACE "warning: duplicate uuid {00020430-0000-0000-c000-000000000046}\n" "" err
       "${err}")
if(out)
  message("${out}")
endif()
if(err)
  message("${err}")
endif()
if(NOT result EQUAL 0)
  message(FATAL_ERROR "widl failed (${result})")
endif()
