# cmake -DX86=TREE -DX64=TREE -DCMD=run-tests.cmd -DOBJDUMP=objdump -DOUT=KIT.zip -P test-kit.cmake
# Puts the test programs of the two Windows build trees and what they read into KIT.zip, under
# x86/ and x64/ in the trees' own layout (a test program finds the build by its own path), with
# run-tests.cmd at the top.
get_filename_component(name ${OUT} NAME_WLE)
get_filename_component(dir ${OUT} DIRECTORY)
set(top ${dir}/${name})
file(REMOVE_RECURSE ${top})
foreach(arch x86 x64)
  string(TOUPPER ${arch} var)
  set(tree ${${var}})
  foreach(file setup.exe setup-stub.exe setup-pack.exe bspatch/bspatch.exe examples/demo.msi examples/failing.msi
          setup.gen/package.txt tests/unit_portable.exe tests/unit_windows.exe tests/e2e/setup_e2e.exe
          tests/e2e/parent.exe tests/e2e/runwait.exe tests/e2e/station.exe tests/e2e/msiexec_standin.exe
          tests/e2e/demo.xz tests/e2e/not-msi.bin tests/e2e/not-msi.bin.xz tests/e2e/bin
          tests/cabinets tests/acme/acme.msi)
    get_filename_component(sub ${file} DIRECTORY)
    file(COPY ${tree}/${file} DESTINATION ${top}/${arch}/${sub})
  endforeach()
endforeach()
# Nothing but the system's DLLs: no MinGW runtime is needed beside the programs.
file(GLOB_RECURSE programs ${top}/*.exe)
foreach(program ${programs})
  execute_process(COMMAND ${OBJDUMP} -p ${program} OUTPUT_VARIABLE dump)
  string(REGEX MATCHALL "DLL Name: [^\n]+" dlls "${dump}")
  string(TOLOWER "${dlls}" dlls)
  if(dlls MATCHES "lib(stdc|gcc|winpthread|ssp)|mingw")
    message(FATAL_ERROR "${program} needs a DLL that Windows does not have: ${dlls}")
  endif()
endforeach()
# Line ends as cmd.exe reads them best.
file(READ ${CMD} text)
string(REGEX REPLACE "\r?\n" "\r\n" text "${text}")
file(WRITE ${top}/run-tests.cmd "${text}")
file(REMOVE ${OUT})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT} --format=zip ${name}
                WORKING_DIRECTORY ${dir} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "could not write ${OUT}")
endif()
file(REMOVE_RECURSE ${top})
