# Maps the five interface font families to Debian's fonts and copies them
# into the run folder under the names the program opens.
set(VELMORA_FONT_MAP
  "roboto/unhinted/RobotoCondensed-Medium.ttf=PreludeCondensed-Medium.ttf"
  "droid/DroidSansFallbackFull.ttf=HeiS_nb.ttf"
  "dejavu/DejaVuSansCondensed.ttf=DejaVuSansCondensed.ttf"
  "nanum/NanumGothic.ttf=Dotum_nb.ttf"
  "tlwg/Garuda.ttf=Garuda.ttf")

set(VELMORA_FONT_OUTPUTS "")
foreach(entry IN LISTS VELMORA_FONT_MAP)
  string(REPLACE "=" ";" pair "${entry}")
  list(GET pair 0 src)
  list(GET pair 1 dst)
  set(src_path /usr/share/fonts/truetype/${src})
  if(NOT EXISTS ${src_path})
    message(FATAL_ERROR "font ${src_path} is missing: run scripts/install-deps.sh")
  endif()
  add_custom_command(OUTPUT ${VELMORA_RUN_DIR}/${dst}
    COMMAND ${CMAKE_COMMAND} -E copy ${src_path} ${VELMORA_RUN_DIR}/${dst}
    DEPENDS ${src_path} VERBATIM)
  list(APPEND VELMORA_FONT_OUTPUTS ${VELMORA_RUN_DIR}/${dst})
endforeach()
add_custom_target(velmora_fonts ALL DEPENDS ${VELMORA_FONT_OUTPUTS})
