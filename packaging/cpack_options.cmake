# Read by cpack when it runs. CPack 3.25 asks rpm whether it knows weak
# dependencies through an RPM_EXECUTABLE it never sets, and so drops Suggests.
if(CPACK_GENERATOR STREQUAL "RPM" AND NOT RPM_EXECUTABLE)
  find_program(RPM_EXECUTABLE rpm)
endif()
