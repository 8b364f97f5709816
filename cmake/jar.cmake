# Packs quillet-<version>.jar at install time (cmake --install, CPack): the class
# doc.NativeWindows, the QUILLETDLL.dll of every architecture installed so far with
# its SHA-256 (doc/native/x86/, doc/native/x64/), the licence notice, and the
# Maven coordinates (META-INF/maven/com.orvo/quillet/: pom.xml, pom.properties),
# with which `mvn install:install-file -Dfile=quillet-<version>.jar` needs nothing
# more. Beside the jar go its pom, quillet-<version>.pom, and
# quillet-<version>-sources.jar (the class's source, for IDEs).
#
# CPack installs the build trees of all architectures into one folder, one after
# the other, and each tree's install ends here: the last one packs the jar with
# every DLL, and the jar's DLLs are the files of the release's x86/ and x64/.
#
# Set by the install code of cmake/windows.cmake: QUILLET_JAR_TOOL (the JDK's jar),
# QUILLET_JAR_CLASS (NativeWindows.class), QUILLET_JAR_SOURCE (NativeWindows.java),
# QUILLET_POM_TEMPLATE (cmake/quillet.pom.in), QUILLET_JAR_STAGE (a scratch folder
# of the build tree), QUILLET_NOTICE, QUILLET_VERSION.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(stage "${QUILLET_JAR_STAGE}")
set(maven "META-INF/maven/com.orvo/quillet")
set(pom "${root}/quillet-${QUILLET_VERSION}.pom")
configure_file("${QUILLET_POM_TEMPLATE}" "${pom}" @ONLY)

# The sources jar: the class's source, the coordinates and the notice.
file(REMOVE_RECURSE "${stage}")
file(COPY "${QUILLET_JAR_SOURCE}" DESTINATION "${stage}/doc")
file(COPY "${QUILLET_NOTICE}" DESTINATION "${stage}/META-INF")
file(COPY "${pom}" DESTINATION "${stage}/${maven}")
file(RENAME "${stage}/${maven}/quillet-${QUILLET_VERSION}.pom" "${stage}/${maven}/pom.xml")
file(WRITE "${stage}/${maven}/pom.properties" "groupId=com.orvo\nartifactId=quillet\nversion=${QUILLET_VERSION}\n")
set(sources "${root}/quillet-${QUILLET_VERSION}-sources.jar")
execute_process(COMMAND "${QUILLET_JAR_TOOL}" --create --file "${sources}" --no-manifest -C "${stage}" .
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "jar failed for ${sources}")
endif()

# The jar: the same, the class in place of its source, and the DLLs.
file(REMOVE "${stage}/doc/NativeWindows.java")
file(COPY "${QUILLET_JAR_CLASS}" DESTINATION "${stage}/doc")
set(packed)
foreach(arch x86 x64)
  set(dll "${root}/${arch}/QUILLETDLL.dll")
  if(EXISTS "${dll}")
    file(COPY "${dll}" DESTINATION "${stage}/doc/native/${arch}")
    file(SHA256 "${dll}" hash)
    file(WRITE "${stage}/doc/native/${arch}/QUILLETDLL.dll.sha256" "${hash}\n")
    list(APPEND packed ${arch})
  endif()
endforeach()
file(WRITE "${stage}.manifest"
  "Implementation-Title: Quillet\nImplementation-Version: ${QUILLET_VERSION}\nImplementation-Vendor: Orvo\n")
set(jar "${root}/quillet-${QUILLET_VERSION}.jar")
execute_process(
  COMMAND "${QUILLET_JAR_TOOL}" --create --file "${jar}" --manifest "${stage}.manifest" -C "${stage}" .
  RESULT_VARIABLE failed)
file(REMOVE_RECURSE "${stage}" "${stage}.manifest")
if(failed)
  message(FATAL_ERROR "jar failed for ${jar}")
endif()
message(STATUS "Installing: ${jar} (QUILLETDLL.dll for ${packed}), ${pom}, ${sources}")
