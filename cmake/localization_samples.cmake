# The sample language module "kellng.dll" and the sample language files
# "uninstall.lng" (ANSI and UTF-16), built into build/samples for
# translators and for the localization and dialog tests.
find_program(PYTHON3 python3 REQUIRED)

set(LANGUAGE_SAMPLES ${CMAKE_BINARY_DIR}/samples)
set(LANGUAGE_RESOURCES ${PROJECT_SOURCE_DIR}/resources)

# A DLL of resources only: no code, no entry point.
function(add_language_module target script output)
  get_filename_component(folder ${output} DIRECTORY)
  set(object ${CMAKE_CURRENT_BINARY_DIR}/${target}.res.o)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${CMAKE_RC_COMPILER} -c 65001 -I ${LANGUAGE_RESOURCES} -O coff ${script} -o ${object}
    COMMAND ${CMAKE_C_COMPILER} -shared -nostdlib -s -Wl,-e,0 -Wl,--dynamicbase -Wl,--nxcompat
            -o ${output} ${object}
    DEPENDS ${script} ${LANGUAGE_RESOURCES}/resource_ids.h ${LANGUAGE_RESOURCES}/kelicon.ico
    WORKING_DIRECTORY ${LANGUAGE_RESOURCES}/samples
    VERBATIM)
  add_custom_target(${target} DEPENDS ${output})
endfunction()

function(add_language_file target encoding output)
  get_filename_component(folder ${output} DIRECTORY)
  set(generator ${PROJECT_SOURCE_DIR}/scripts/make_language_file.py)
  set(inputs ${LANGUAGE_RESOURCES}/samples/german.txt ${LANGUAGE_RESOURCES}/uninstall.rc
             ${LANGUAGE_RESOURCES}/resource_ids.h)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${PYTHON3} ${generator} ${inputs} ${output} ${encoding}
    DEPENDS ${generator} ${inputs}
    VERBATIM)
  add_custom_target(${target} DEPENDS ${output})
endfunction()

add_language_module(sample_language_module ${LANGUAGE_RESOURCES}/samples/kellng.rc
                    ${LANGUAGE_SAMPLES}/kellng.dll)
add_language_module(sample_rtl_language_module
                    ${PROJECT_SOURCE_DIR}/tests/localization/rtl_language.rc
                    ${LANGUAGE_SAMPLES}/rtl/kellng.dll)
add_language_module(sample_hostile_language_module
                    ${PROJECT_SOURCE_DIR}/tests/localization/hostile_language.rc
                    ${LANGUAGE_SAMPLES}/hostile/kellng.dll)
add_language_file(sample_language_file_ansi ansi ${LANGUAGE_SAMPLES}/uninstall.lng)
add_language_file(sample_language_file_utf16 utf16 ${LANGUAGE_SAMPLES}/utf16/uninstall.lng)
add_custom_target(language_samples ALL
  DEPENDS sample_language_module sample_rtl_language_module sample_hostile_language_module
          sample_language_file_ansi
          sample_language_file_utf16)

# Copies of the sample module damaged in the ways the program must survive:
# build/samples/damaged/<kind>/kellng.dll.
set(DAMAGED_LANGUAGE_MODULES half cut-data data-past loop icon-group template)
foreach(kind IN LISTS DAMAGED_LANGUAGE_MODULES)
  set(output ${LANGUAGE_SAMPLES}/damaged/${kind}/kellng.dll)
  set(damager ${PROJECT_SOURCE_DIR}/scripts/damage_language_module.py)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${LANGUAGE_SAMPLES}/damaged/${kind}
    COMMAND ${PYTHON3} ${damager} ${LANGUAGE_SAMPLES}/kellng.dll ${output} ${kind}
    DEPENDS ${damager} ${LANGUAGE_SAMPLES}/kellng.dll
    VERBATIM)
  list(APPEND damaged_outputs ${output})
endforeach()
add_custom_target(damaged_language_modules DEPENDS ${damaged_outputs})
add_dependencies(damaged_language_modules sample_language_module)
add_dependencies(language_samples damaged_language_modules)

# The tests find the samples through this header, and hold the program's own
# string table, as the program does.
string(REPLACE "/" "\\\\" LANGUAGE_SAMPLES_WINDOWS "Z:${LANGUAGE_SAMPLES}")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/language_samples.h
     CONTENT "#pragma once\n#define LANGUAGE_SAMPLES_FOLDER L\"${LANGUAGE_SAMPLES_WINDOWS}\"\n")
foreach(target test_localization test_dialogs test_integration)
  if(TARGET ${target})
    add_dependencies(${target} language_samples)
    target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/generated)
    target_sources(${target} PRIVATE ${LANGUAGE_RESOURCES}/uninstall.rc)
  endif()
endforeach()
if(TARGET test_dialogs)
  target_sources(test_dialogs PRIVATE ${PROJECT_SOURCE_DIR}/tests/localization/dialog_template.cpp
                 ${PROJECT_SOURCE_DIR}/tests/localization/language_test_support.cpp)
  target_include_directories(test_dialogs PRIVATE ${PROJECT_SOURCE_DIR}/tests/localization)
endif()
