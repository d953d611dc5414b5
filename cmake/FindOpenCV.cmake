# Debian packages OpenCV per module without its CMake package files (those
# come only with the meta-package, which drags in every module), so the
# modules asked for are found by their headers and libraries here and offered
# under the names OpenCV's own package uses (opencv_core, ...).
find_path(OpenCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4)
find_path(OpenCV_CONFIG_DIR opencv2/cvconfig.h PATH_SUFFIXES opencv4
          PATHS /usr/include/${CMAKE_LIBRARY_ARCHITECTURE})
set(OpenCV_LIBS)
set(_opencv_missing)
foreach(_module IN LISTS OpenCV_FIND_COMPONENTS)
  find_library(OpenCV_${_module}_LIBRARY opencv_${_module})
  if(OpenCV_${_module}_LIBRARY AND OpenCV_INCLUDE_DIR)
    set(OpenCV_${_module}_FOUND TRUE)
    if(NOT TARGET opencv_${_module})
      add_library(opencv_${_module} UNKNOWN IMPORTED)
      set_target_properties(opencv_${_module} PROPERTIES
        IMPORTED_LOCATION "${OpenCV_${_module}_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${OpenCV_INCLUDE_DIR};${OpenCV_CONFIG_DIR}")
    endif()
    list(APPEND OpenCV_LIBS opencv_${_module})
  else()
    list(APPEND _opencv_missing ${_module})
  endif()
endforeach()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(OpenCV
  REQUIRED_VARS OpenCV_INCLUDE_DIR OpenCV_LIBS
  HANDLE_COMPONENTS
  REASON_FAILURE_MESSAGE "missing modules: ${_opencv_missing} (install libopencv-<module>-dev)")
