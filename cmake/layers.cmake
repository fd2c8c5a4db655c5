# The product's layers, each a library that sees only its own headers and
# those of the layers it declares below it. Every layer gets an include
# folder of its own in the build tree, holding links to its headers under
# their source paths ("engine/cnv_base.h"); a library's include path is its
# own folder and its dependencies', never the source tree. So an include
# against the order ("convert/..." in the line store) does not build: the
# compiler finds no such file.
#
#   cnv_layer(<target> HEADERS <header>... [SOURCES <source>...]
#             [DEPENDS <library>...])
#
# Tests, benchmarks and fuzz targets are not layers: they see the source
# tree, for their support headers.
function(cnv_layer target)
  cmake_parse_arguments(PARSE_ARGV 1 layer "" "" "HEADERS;SOURCES;DEPENDS")
  add_library(${target} STATIC ${layer_SOURCES})
  set(include_dir ${CMAKE_BINARY_DIR}/layers/${target})
  foreach(header IN LISTS layer_HEADERS)
    file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${header})
    get_filename_component(folder ${include_dir}/${relative} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(CREATE_LINK ${header} ${include_dir}/${relative} SYMBOLIC COPY_ON_ERROR)
  endforeach()
  target_include_directories(${target} PUBLIC ${include_dir})
  target_link_libraries(${target} PUBLIC ${layer_DEPENDS})
endfunction()

# The files of `folder` (relative to the source tree) with the extension
# `ext` that belong to the product: no tests or test support, and not
# `exclude`.
function(cnv_product_files out folder ext)
  cmake_parse_arguments(PARSE_ARGV 3 arg "" "" "EXCLUDE")
  file(GLOB files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*${ext})
  list(FILTER files EXCLUDE REGEX "_test(_support)?\\${ext}$")
  foreach(name IN LISTS arg_EXCLUDE)
    list(REMOVE_ITEM files ${CMAKE_SOURCE_DIR}/${folder}/${name})
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

function(cnv_product_headers out folder)
  cnv_product_files(files ${folder} .h ${ARGN})
  set(${out} ${files} PARENT_SCOPE)
endfunction()

function(cnv_product_sources out folder)
  cnv_product_files(files ${folder} .cpp ${ARGN})
  set(${out} ${files} PARENT_SCOPE)
endfunction()
