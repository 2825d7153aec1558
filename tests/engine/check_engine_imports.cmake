# Fails when the engine's objects import a maths-library function other than sqrt (exact by
# IEEE 754): every other one may round differently between C runtimes, and the image with it.
# Run as: cmake -DNM=<nm> -DLIBRARY=<libstrelvik_engine.a> -P check_engine_imports.cmake
execute_process(COMMAND ${NM} -u ${LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} -u ${LIBRARY} failed")
endif()
set(libm sin cos tan asin acos atan atan2 sinh cosh tanh asinh acosh atanh exp exp2 expm1 log log2 log10 log1p
  pow cbrt hypot erf erfc tgamma lgamma fmod remainder sincos floor ceil trunc round lround llround rint lrint
  llrint nearbyint modf frexp ldexp scalbn fma fmin fmax fdim)
set(found "")
foreach(name ${libm})
  foreach(variant ${name} ${name}f ${name}l)
    if(symbols MATCHES "(^|[ \n_])${variant}(@[^\n]*)?\n")
      list(APPEND found ${variant})
    endif()
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "the engine imports maths-library functions: ${found}")
endif()
message(STATUS "the engine imports no maths-library function but sqrt")
