# Writes `javap -s -p` of every class in a jar to one text file.
# cmake -DJAR_TOOL=jar -DJAVAP=javap -DJAR_FILE=x.jar -DOUTPUT=x.txt -P JavapListing.cmake
foreach(required JAR_TOOL JAVAP JAR_FILE OUTPUT)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "JavapListing.cmake needs -D${required}=...")
    endif()
endforeach()

execute_process(COMMAND ${JAR_TOOL} tf ${JAR_FILE}
    OUTPUT_VARIABLE entries RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot list ${JAR_FILE}: ${status}")
endif()

string(REPLACE "\n" ";" entries "${entries}")
set(classes)
foreach(entry IN LISTS entries)
    if(entry MATCHES "module-info\\.class$")
        continue()
    endif()
    if(entry MATCHES "^(.+)\\.class$")
        string(REPLACE "/" "." class "${CMAKE_MATCH_1}")
        list(APPEND classes "${class}")
    endif()
endforeach()
if(NOT classes)
    message(FATAL_ERROR "no classes in ${JAR_FILE}")
endif()
list(SORT classes)

# Written under a temporary name first, so a failed run leaves no listing
# that looks complete.
execute_process(COMMAND ${JAVAP} -s -p -cp ${JAR_FILE} ${classes}
    OUTPUT_FILE ${OUTPUT}.part RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE ${OUTPUT}.part)
    message(FATAL_ERROR "javap failed on ${JAR_FILE}: ${status}")
endif()
file(RENAME ${OUTPUT}.part ${OUTPUT})
