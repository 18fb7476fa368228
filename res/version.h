/* The program's version, in one place: the VERSIONINFO resource and the
   program's own code both take it from here. Plain preprocessor only, so
   the resource compiler can read it too. */
#ifndef BOOTSTRAPPER_VERSION_H
#define BOOTSTRAPPER_VERSION_H

#define BOOTSTRAPPER_VERSION_MAJOR 1
#define BOOTSTRAPPER_VERSION_MINOR 0
#define BOOTSTRAPPER_VERSION_PATCH 0
#define BOOTSTRAPPER_VERSION_BUILD 0

#define BOOTSTRAPPER_STRINGIZE_(x) #x
#define BOOTSTRAPPER_STRINGIZE(x) BOOTSTRAPPER_STRINGIZE_(x)

/* "1.0.0.0": built from the four numbers above, never typed twice. */
#define BOOTSTRAPPER_VERSION_STRING \
    BOOTSTRAPPER_STRINGIZE(BOOTSTRAPPER_VERSION_MAJOR.BOOTSTRAPPER_VERSION_MINOR.BOOTSTRAPPER_VERSION_PATCH.BOOTSTRAPPER_VERSION_BUILD)

#ifndef RC_INVOKED
#define BOOTSTRAPPER_WIDEN_(s) L##s
#define BOOTSTRAPPER_WIDEN(s) BOOTSTRAPPER_WIDEN_(s)
/* L"1.0.0.0", for the program's own UTF-16 texts. */
#define BOOTSTRAPPER_VERSION_WSTRING BOOTSTRAPPER_WIDEN(BOOTSTRAPPER_VERSION_STRING)
#endif

#endif
