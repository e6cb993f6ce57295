#include "engine/RunEndCode.h"

namespace torvex {

namespace {

// The texts hold one "%s" (the project name) or the proxy's "%s:%d"; they are filled here rather
// than with printf so that a name with a '%' in it stays text.
std::string WithName(std::string_view text, std::string_view name) {
    std::string out;
    const auto at = text.find("%s");
    if (at == std::string_view::npos) {
        return std::string(text);
    }
    out.append(text.substr(0, at));
    out.append(name);
    out.append(text.substr(at + 2));
    return out;
}

std::string WithProxy(std::string_view text, const ProxyName& proxy) {
    std::string out = WithName(text, proxy.host);
    const auto at = out.find("%d");
    if (at != std::string::npos) {
        out.replace(at, 2, std::to_string(proxy.port));
    }
    return out;
}

} // namespace

std::string StartFailureText(int code, std::string_view projectName) {
    switch (code) {
    case 102:
        return WithName("Error: Failed to count the free disk space of project \"%s\".",
                        projectName);
    case 103:
        return WithName("Sorry. The disk free space is below the settings of project \"%s\". "
                        "Download is cancelled.",
                        projectName);
    case 104:
        return WithName("Error: Failed to backup the latest download record of project \"%s\" ! "
                        "Download cancelled. Please exit the program and try again.",
                        projectName);
    case 105:
        return WithName("Error: Failed to create the related directory of project \"%s\".",
                        projectName);
    case 106:
        return WithName("Error: The start address of project \"%s\" is not valid.", projectName);
    case 107:
        return WithName("Project \"%s\" is being downloaded by another copy of the program. "
                        "Download cancelled.",
                        projectName);
    default:
        return {};
    }
}

bool StartFailureIsInformation(int code) { return code == 103; }

std::string EndCodeText(int code, std::string_view projectName, const ProxyName& proxy,
                        std::string_view detail) {
    switch (code) {
    case 201:
        return WithName("No files have been downloaded for project \"%s\"! Maybe the network is "
                        "not reachable or the server is down or the start address is not right, "
                        "or you cancelled downloading too soon.",
                        projectName);
    case 202:
        return WithName("Sorry. The disk free space is below the settings of project \"%s\". "
                        "Download is cancelled.",
                        projectName);
    case 203:
        return WithName("Sorry. The time elapsed exceeds that limitation of project \"%s\". "
                        "Download is cancelled.",
                        projectName);
    case 204:
        return WithName("Sorry. The number of downloaded files exceeds that limitation of project "
                        "\"%s\". Download is cancelled.",
                        projectName);
    case 205:
        return "Network is down! Download cancelled.";
    case 206:
        return WithName("Error: Failed to read or write temporary file for project \"%s\"! "
                        "Download cancelled.",
                        projectName);
    case 301:
        return WithName("Error: Failed to find proxy server \"%s\". Please make sure the network "
                        "is all right and a DNS server has been correctly set in the operation "
                        "system.",
                        proxy.host);
    case 302:
        return WithProxy("Error: Failed to connect proxy server \"%s:%d\".  Please make sure the "
                         "network is all right and the address of the proxy server is correct.",
                         proxy);
    case 303:
        return WithProxy("Error: Proxy user authentication failed: %s:%d.", proxy);
    case 401:
        return WithName("Error: Failed to find the start server of project \"%s\". Please make "
                        "sure the network is all right and the start address is correct; And if "
                        "you access the site through a proxy server, make sure you have set it "
                        "for this project.",
                        projectName);
    case 402:
        return WithName("Error: Failed to connect the start server of project \"%s\". Please "
                        "make sure the network is all right and the start address is correct; "
                        "And if you access the site through a proxy server, make sure you have "
                        "set it for this project.",
                        projectName);
    case 403:
        return "Error: Server error.";
    case 404:
        return "Error: User authentication failed.";
    case 405:
        return "Error: The file to be downloaded could not be found on the server. Please check "
               "the start address to ensure that the path is correct.";
    case 406:
        return WithName("Error: Failed to save the start page of project \"%s\".", projectName);
    case 407:
        return WithName("Error: The start page of project \"%s\" has no content.", projectName);
    case 408: {
        // The reason follows the project's name, so it is filled in second.
        std::string text = WithName("Error: The secure connection to the start server of project "
                                    "\"%s\" could not be established: ",
                                    projectName);
        text += detail.empty() ? std::string_view("unknown reason") : detail;
        text += ".";
        return text;
    }
    case 501:
        return "Error: Forbidden.";
    default:
        return {};
    }
}

} // namespace torvex
