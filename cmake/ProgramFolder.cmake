# Lays out the program folder as it is installed on Windows:
#   AntiVirus.exe, TolvarScan.exe, bin\skin\ (the skin strips), bin\snr\1\9\ (the scanner).
set(TOLVAR_PROGRAM_DIR "${CMAKE_BINARY_DIR}/program" CACHE PATH "Program folder laid out for Wine")

add_custom_target(program_folder ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TOLVAR_PROGRAM_DIR}/bin/skin
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TOLVAR_PROGRAM_DIR}/bin/snr/1/9
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/res/skin ${TOLVAR_PROGRAM_DIR}/bin/skin
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:AntiVirus> ${TOLVAR_PROGRAM_DIR}/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:TolvarScan> ${TOLVAR_PROGRAM_DIR}/
  DEPENDS AntiVirus TolvarScan
  COMMENT "Laying out the program folder in ${TOLVAR_PROGRAM_DIR}"
  VERBATIM)
