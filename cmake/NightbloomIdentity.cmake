# Who makes Nightbloom and under which licence, as the Windows program's version resource
# and its installers state them. Read from LICENSE, which stays the one source of both:
#   NB_PRODUCT_NAME   "Nightbloom"
#   NB_PUBLISHER      the copyright holder ("The Nightbloom developers")
#   NB_COPYRIGHT      "Copyright (c) <year> <holder>. <licence name>."
set(NB_PRODUCT_NAME Nightbloom)
set(nb_licence_file ${PROJECT_SOURCE_DIR}/LICENSE)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${nb_licence_file})
file(STRINGS ${nb_licence_file} nb_licence_name LIMIT_COUNT 1)
file(STRINGS ${nb_licence_file} nb_copyright_line REGEX "^Copyright " LIMIT_COUNT 1)
if(NOT nb_licence_name MATCHES "License$" OR
   NOT nb_copyright_line MATCHES "^Copyright \\(c\\) [0-9]+(-[0-9]+)? (.+)$")
  message(FATAL_ERROR "LICENSE does not start with the licence's name and a line "
                      "'Copyright (c) <year> <holder>': '${nb_licence_name}', '${nb_copyright_line}'")
endif()
set(NB_PUBLISHER "${CMAKE_MATCH_2}")
set(NB_COPYRIGHT "${nb_copyright_line}. ${nb_licence_name}.")
