// pellix-host: the native-messaging host that the browsers start for the extension's
// "Download by Torvex" entry. It lives beside libpellix.so and hands every request to it.

#include <csignal>
#include <cstdio>
#include <string>

#include "capture/CPellixLibrary.h"
#include "capture/NativeHost.h"
#include "platform/ProgramDir.h"

int main() {
    // Chromium passes the caller's origin as the first argument, Firefox the manifest's path and
    // the extension's id; neither is needed, since the browser admits only the extensions that
    // the host manifest names.

    // A browser that goes away closes the pipe: a failed write ends the loop instead.
    std::signal(SIGPIPE, SIG_IGN);

    try {
        const std::string folder = torvex::ProgramDirectory();
        torvex::CPellixLibrary library(folder.empty() ? std::string() : folder + "/libpellix.so");
        if (!library.Loaded()) {
            // Standard error ends up in the browser's log.
            std::fprintf(stderr, "pellix-host: %s\n", library.LoadError().c_str());
        }
        return torvex::ServeNativeMessages(0, 1, [&library](const torvex::HostRequest& request) {
            if (!library.Loaded()) {
                return std::string("Error: The Torvex browser helper cannot find libpellix.so "
                                   "beside itself. Please reinstall Torvex.");
            }
            return library.AddUrl(request);
        });
    } catch (...) {
        // Out of memory at worst: the browser sees the host end without a reply.
        std::fputs("pellix-host: out of memory\n", stderr);
        return 1;
    }
}
