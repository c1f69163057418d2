# English, German and French: their flags are drawn and their sources
# compiled by corvane-lngc into the folder Translations beside corvane.exe (beside
# corvane-lngc in the host build, which has no corvane.exe). In the Windows
# build corvane-lngc.exe runs under Wine: add_custom_command puts the target's
# CROSSCOMPILING_EMULATOR (the Wine runner) in front of it. Paths handed to the
# compiler are relative to its working folder, which Wine maps to drive Z:.
if(WIN32)
  set(CVN_TRANSLATIONS_DIR ${PROJECT_BINARY_DIR}/app/Translations)
else()
  set(CVN_TRANSLATIONS_DIR ${CMAKE_CURRENT_BINARY_DIR}/Translations)
endif()
set(CVN_TRANSLATIONS_DIR ${CVN_TRANSLATIONS_DIR} CACHE INTERNAL "Where the build puts the language files")
set(cvn_work ${CMAKE_CURRENT_BINARY_DIR}/translations)
file(MAKE_DIRECTORY ${cvn_work} ${CVN_TRANSLATIONS_DIR})
file(RELATIVE_PATH cvn_out ${cvn_work} ${CVN_TRANSLATIONS_DIR})

# cvn_translation(LANGUAGE [horizontal|vertical COLOUR COLOUR COLOUR WIDTH HEIGHT])
# compiles LANGUAGE.source, with the flag drawn from the colours when given.
function(cvn_translation language)
  set(flag_files)
  if(ARGC GREATER 1)
    set(flag_files ${cvn_work}/${language}.flag.bmp)
    add_custom_command(
      OUTPUT ${flag_files}
      COMMAND corvane-lngc --flag ${ARGN} ${language}.flag.bmp
      WORKING_DIRECTORY ${cvn_work}
      DEPENDS corvane-lngc
      COMMENT "Drawing the flag of ${language}"
      VERBATIM)
  endif()
  add_custom_command(
    OUTPUT ${CVN_TRANSLATIONS_DIR}/${language}.lng
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/${language}.source ${language}.source
    COMMAND corvane-lngc --compile ${language}.source ${cvn_out}/${language}.lng
    WORKING_DIRECTORY ${cvn_work}
    DEPENDS corvane-lngc ${CMAKE_CURRENT_SOURCE_DIR}/${language}.source ${flag_files}
    COMMENT "Compiling ${language}.lng"
    VERBATIM)
  set_property(GLOBAL APPEND PROPERTY CVN_LANGUAGE_FILES ${CVN_TRANSLATIONS_DIR}/${language}.lng)
endfunction()

# English too: without its file the program would start in the language that
# sorts first whenever no language has been chosen yet. Its texts are the
# built-in ones, and it has no flag.
cvn_translation(English)
# Black, red, gold in horizontal bands (5:3); blue, white, red upright (3:2).
cvn_translation(German horizontal 000000 DD0000 FFCE00 20 12)
cvn_translation(French vertical 0055A4 FFFFFF EF4135 21 14)

get_property(cvn_language_files GLOBAL PROPERTY CVN_LANGUAGE_FILES)
add_custom_target(translations ALL DEPENDS ${cvn_language_files})
