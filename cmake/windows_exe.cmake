# bootstrapper.exe: one self-contained file that loads on Windows 2000 SP4 and later.
enable_language(RC)

set(PLATFORM_SOURCES
    src/platform/dialog_win32.cpp
    src/platform/dll_search_win32.cpp
    src/platform/environment_win32.cpp
    src/platform/files_win32.cpp
    src/platform/machine_lock_win32.cpp
    src/platform/msi_api_win32.cpp
    src/platform/process_win32.cpp
    src/platform/registry_win32.cpp
    src/platform/runtime_win32.cpp
    src/platform/system_win32.cpp
    src/platform/ui_win32.cpp
)

add_executable(bootstrapper WIN32
    src/app/main.cpp ${LOGIC_SOURCES} ${PLATFORM_SOURCES} res/bootstrapper.rc)
target_include_directories(bootstrapper PRIVATE src ${CMAKE_SOURCE_DIR})
target_compile_definitions(bootstrapper PRIVATE
    UNICODE _UNICODE WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0500 WINVER=0x0500 __USE_MINGW_ANSI_STDIO=0)
# Small by design: no exceptions, no RTTI, and the runtime's throw helpers replaced
# (src/platform/runtime_win32.cpp), so libstdc++'s exception machinery never links. Stack cookies
# in every function with an array or an address-taken local; their guard and failure are defined
# in the same file.
target_compile_options(bootstrapper PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:${LOGIC_COMPILE_OPTIONS} -Os -fno-threadsafe-statics
        -fno-asynchronous-unwind-tables -ffunction-sections -fdata-sections -flto
        -fstack-protector-strong -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.>)
# --no-seh: the image holds no exception handler, and says so (NOTES.md). The map tells
# tests/binary where the link placed the symbols the stripped exe no longer names.
target_link_options(bootstrapper PRIVATE
    -municode -static -s -flto -Os -Wl,--gc-sections -Wl,--no-insert-timestamp
    -Wl,--major-subsystem-version,5,--minor-subsystem-version,0
    -Wl,--major-os-version,5,--minor-os-version,0 -Wl,--no-seh
    -Wl,-Map,${CMAKE_BINARY_DIR}/bootstrapper.map)
target_link_libraries(bootstrapper PRIVATE shell32 user32 advapi32 ole32 kernel32)
# The manifest carries the version of res/version.h, the one place it is written.
file(STRINGS ${CMAKE_SOURCE_DIR}/res/version.h VERSION_LINES REGEX "^#define BOOTSTRAPPER_VERSION_(MAJOR|MINOR|PATCH|BUILD) ")
set(BOOTSTRAPPER_VERSION "")
foreach(line ${VERSION_LINES})
    string(REGEX REPLACE "^#define BOOTSTRAPPER_VERSION_[A-Z]+ +([0-9]+).*$" "\\1" part "${line}")
    list(APPEND BOOTSTRAPPER_VERSION ${part})
endforeach()
list(JOIN BOOTSTRAPPER_VERSION "." BOOTSTRAPPER_VERSION)
configure_file(${CMAKE_SOURCE_DIR}/res/bootstrapper.manifest.in ${CMAKE_BINARY_DIR}/res/bootstrapper.manifest @ONLY)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
# windres looks for the manifest, icon and included files here, the configured manifest first. As
# include directories, not flags, so that a checkout in a folder with blanks builds too.
target_include_directories(bootstrapper PRIVATE
    $<$<COMPILE_LANGUAGE:RC>:${CMAKE_BINARY_DIR}/res> $<$<COMPILE_LANGUAGE:RC>:${CMAKE_SOURCE_DIR}/res>)
set_target_properties(bootstrapper PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# windres reads these through the script; the build must notice when they change.
set_source_files_properties(res/bootstrapper.rc PROPERTIES OBJECT_DEPENDS
    "${CMAKE_SOURCE_DIR}/res/bootstrapper.ico;${CMAKE_BINARY_DIR}/res/bootstrapper.manifest;${CMAKE_SOURCE_DIR}/res/messages.inc;${CMAKE_SOURCE_DIR}/res/version.h")
