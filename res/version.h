/* The program's version, in one place: the VERSIONINFO resource takes it from
   here, and the build writes it into the manifest (bootstrapper.manifest.in).
   Plain preprocessor only, so the resource compiler can read it too. */
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

#endif
