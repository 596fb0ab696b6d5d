/* Debian 12's Audacity 3.2 sets SUIL_MODULE_DIR to an empty folder at start, so suil finds no
 * wrapper and no X11 UI ever opens in it. Preloaded into Audacity by scripts/audacity-check.sh
 * so that the LV2 editor can still be checked inside Audacity's effect dialog: the variable is
 * left as it was, and suil looks in its own folder. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <string.h>

int setenv(const char* name, const char* value, int overwrite) {
    static int (*next)(const char*, const char*, int);
    if (name && strcmp(name, "SUIL_MODULE_DIR") == 0) {
        return 0;
    }
    if (!next) {
        next = (int (*)(const char*, const char*, int))dlsym(RTLD_NEXT, "setenv");
    }
    return next ? next(name, value, overwrite) : -1;
}
