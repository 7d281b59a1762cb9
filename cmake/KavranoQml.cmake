# QML modules: the views, compiled ahead of time, and the C++ types they are
# checked against.
#
# A screen's controller stays QtCore only, so its tests link no QML: it is marked
# QML_ELEMENT through the header-only QtQmlIntegration, and a module target of
# its own, which links QtQml, registers it from its metatypes. The controllers
# and their views cannot share a module: a view is named after its controller's
# class, and within one module the file would shadow the class.

# Every module's qmldir and qmltypes in one tree: the import path of qmllint and
# of the compiler.
set(QT_QML_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/qml)
# Where Qt 6.4's engine looks for modules in the resources without being told.
set(KAVRANO_QML_RESOURCE_PREFIX /qt-project.org/imports)

# Runs moc over `headers` of `library` in place of AUTOMOC, keeping the metatypes
# for kavrano_add_qml_types.
function(kavrano_expose_to_qml library)
  set(headers)
  foreach(header IN LISTS ARGN)
    get_filename_component(header ${header} ABSOLUTE)
    list(APPEND headers ${header})
    get_filename_component(folder ${header} DIRECTORY)
    set_property(TARGET ${library} APPEND PROPERTY KAVRANO_QML_HEADER_DIRS ${folder})
  endforeach()
  qt6_wrap_cpp(mocs ${headers} TARGET ${library} __QT_INTERNAL_OUTPUT_MOC_JSON_FILES metatypes)
  target_sources(${library} PRIVATE ${mocs})
  set_property(TARGET ${library} APPEND PROPERTY KAVRANO_QML_METATYPES ${metatypes})
endfunction()

# kavrano_add_qml_types(<target> URI <uri> LIBRARIES <library>...)
# The module <uri> of the C++ types the libraries expose, as the static library
# <target> and its plugin <target>_plugin, which is what programs link.
function(kavrano_add_qml_types target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "URI" "LIBRARIES")
  qt_add_library(${target} STATIC)
  set(metatypes)
  set(folders)
  foreach(library IN LISTS arg_LIBRARIES)
    get_target_property(library_metatypes ${library} KAVRANO_QML_METATYPES)
    get_target_property(library_folders ${library} KAVRANO_QML_HEADER_DIRS)
    list(APPEND metatypes ${library_metatypes})
    list(APPEND folders ${library_folders})
  endforeach()
  # Taken before the module asks: its type registration then reads these.
  qt6_extract_metatypes(${target} MANUAL_MOC_JSON_FILES ${metatypes})
  # The registration includes each header by its file name alone.
  list(REMOVE_DUPLICATES folders)
  target_include_directories(${target} PRIVATE ${folders})
  qt_add_qml_module(${target}
    URI ${arg_URI}
    VERSION 1.0
    RESOURCE_PREFIX ${KAVRANO_QML_RESOURCE_PREFIX}
    PLUGIN_TARGET ${target}_plugin
    # Where the types' bases (QQuickItem, QAbstractItemModel) are described.
    DEPENDENCIES QtQuick
  )
  target_link_libraries(${target} PUBLIC ${arg_LIBRARIES} Qt6::Qml)
endfunction()

# kavrano_add_views(<target> URI <uri> QML_FILES <file>... [SINGLETONS <file>...]
#                   [RESOURCES <file>...] [LINKS <target>...])
# The module <uri> of the views (ahead-of-time compiled) and their pictures.
# Files sit at the module's root whatever their source folder; a view named
# after a controller's class is exported as <name>View, so that the class keeps
# its name in the views that import it. Every module is linted by a test.
function(kavrano_add_views target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "URI" "QML_FILES;SINGLETONS;RESOURCES;LINKS")
  foreach(file IN LISTS arg_QML_FILES arg_SINGLETONS arg_RESOURCES)
    file(RELATIVE_PATH alias ${CMAKE_CURRENT_SOURCE_DIR}/qml ${CMAKE_CURRENT_SOURCE_DIR}/${file})
    set_source_files_properties(${file} PROPERTIES QT_RESOURCE_ALIAS ${alias})
  endforeach()
  foreach(file IN LISTS arg_QML_FILES)
    get_filename_component(name ${file} NAME_WE)
    if(name MATCHES "(ViewController|NavigationController)$")
      set_source_files_properties(${file} PROPERTIES QT_QML_SOURCE_TYPENAME ${name}View)
    endif()
  endforeach()
  set_source_files_properties(${arg_SINGLETONS} PROPERTIES QT_QML_SINGLETON_TYPE TRUE)
  qt_add_library(${target} STATIC)
  qt_add_qml_module(${target}
    URI ${arg_URI}
    VERSION 1.0
    RESOURCE_PREFIX ${KAVRANO_QML_RESOURCE_PREFIX}
    PLUGIN_TARGET ${target}_plugin
    QML_FILES ${arg_QML_FILES} ${arg_SINGLETONS}
    RESOURCES ${arg_RESOURCES}
  )
  target_link_libraries(${target} PUBLIC ${arg_LINKS} Qt6::Quick)
  set_property(GLOBAL APPEND PROPERTY KAVRANO_VIEW_MODULES ${target})
endfunction()
