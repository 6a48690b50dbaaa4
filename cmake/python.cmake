# The Python module (python/, a target tarquel_python) is built natively
# with Debian's pybind11 when it is there, over the same static libraries;
# those are then compiled as position-independent code so that the shared
# module can hold them. Not in the cross builds nor the sanitizer build (a
# sanitized module cannot be loaded into a plain interpreter).
set(tarquel_python_default OFF)
if(NOT CMAKE_CROSSCOMPILING AND NOT TARQUEL_SANITIZE)
  find_path(TARQUEL_PYBIND11_INCLUDE pybind11/pybind11.h)
  if(TARQUEL_PYBIND11_INCLUDE)
    set(tarquel_python_default ON)
  endif()
endif()
option(TARQUEL_PYTHON "Build the Python module (needs pybind11)" ${tarquel_python_default})

if(TARQUEL_PYTHON)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  # The interpreter whose packages (numpy, pandas, dask) the module and its
  # tests use: Debian's own, unless one is named (setup.py names its own).
  if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
    set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "The Python interpreter of the module")
  endif()
  find_package(Python3 REQUIRED COMPONENTS Interpreter Development.Module)
  find_package(pybind11 CONFIG REQUIRED)
endif()
