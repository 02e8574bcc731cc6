# The folders stand in layers, each including only from its own and those
# below it: model/ nothing of link/ or file/, link/ nothing of file/, and the
# core (model/, link/, file/) nothing of the window (app/, ui/) or the
# programs (cli/, sim/).
set(below_model "link|file|app|ui|cli|sim")
set(below_link "file|app|ui|cli|sim")
set(below_file "app|ui|cli|sim")
foreach(folder model link file)
  file(GLOB sources "${SOURCE}/${folder}/*.cpp" "${SOURCE}/${folder}/*.h")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" lines REGEX "^#include \"(${below_${folder}})/")
    foreach(line IN LISTS lines)
      file(RELATIVE_PATH name "${SOURCE}" "${source}")
      message(SEND_ERROR "${name} reaches up a layer: ${line}")
    endforeach()
  endforeach()
endforeach()
