#pragma once

/* The entry points of libpellix.so, the capture component: what a browser-side helper (the
   native-messaging host behind the browser extension's context-menu entry) loads and calls to
   hand an address to Torvex. Plain C, so any host can load it with dlopen. Results follow the
   COM convention: 0 is S_OK, 1 is S_FALSE, negative values are failures. */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define PELLIX_EXPORT __attribute__((visibility("default")))

/* Writes the three texts into the hand-over file addurl.tmp of Torvex's working directory and
   starts Torvex with "/u". Null texts count as empty. Always 0: the caller never sees a failure;
   the user is told instead (through the message hook). */
PELLIX_EXPORT int32_t AddURL(const char* url, const char* info, const char* parentURL);

/* Write or remove the component's class registration in the registry stand-in. 0 on success. */
PELLIX_EXPORT int32_t DllRegisterServer(void);
PELLIX_EXPORT int32_t DllUnregisterServer(void);

/* 0 when no call of this library is in progress (it may be unloaded), else 1. */
PELLIX_EXPORT int32_t DllCanUnloadNow(void);

/* There is no COM runtime to hand a class factory to on this platform: always fails with
   CLASS_E_CLASSNOTAVAILABLE and sets *object to null. Kept so hosts written against the full
   set of entry points still load the library. */
PELLIX_EXPORT int32_t DllGetClassObject(const void* clsid, const void* iid, void** object);

/* Where the user's messages go: `id` is the message number (101, 102), `text` the message in
   the user's language, without the caption. Null restores the default, which writes
   "Torvex: <text>" to standard error. */
typedef void (*PellixMessageHook)(int id, const char* text);
PELLIX_EXPORT void PellixSetMessageHook(PellixMessageHook hook);

#ifdef __cplusplus
}
#endif
