#include "SiteGenerator.h"

#include <filesystem>
#include <fstream>

namespace torvex::test {

namespace {

constexpr int kSections = 10;
constexpr int kImages = 40;

void Write(const std::string& root, const std::string& path, const std::string& text) {
    const std::filesystem::path file = root + path;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

std::string Filler(int seed) {
    std::string text;
    for (int i = 0; i < 12; ++i) {
        text += "<p class=\"x" + std::to_string((seed + i) % 7) +
                "\">Lorem ipsum dolor sit amet, paragraph " + std::to_string(i) + ".</p>\n";
    }
    return text;
}

std::string Image(int n) { return "/img/i" + std::to_string(n % kImages) + ".gif"; }

} // namespace

std::vector<SiteFile> GenerateSite(const std::string& root, int pages, const std::string& host) {
    std::vector<SiteFile> files;
    // Each section: its index, `perSection` pages at depth 2 and as many sub-pages at depth 3.
    const int perSection = std::max(1, (pages - 1 - kSections) / (2 * kSections));

    std::string home = "<HTML><HEAD><TITLE>Home</TITLE>\n"
                       "<link rel=\"stylesheet\" href=\"css/site.css\"></HEAD><BODY>\n"
                       "<a href=\"#top\">top</a> <a href=\"missing.html\">gone</a>\n"
                       "<a href=\"section-1\">first section, no slash</a>\n"
                       "<IMG SRC=\"img/i0.gif\">\n";
    for (int s = 1; s <= kSections; ++s) {
        home += s % 2 == 0 ? "<A HREF=\"section-" + std::to_string(s) + "/\">S</A>\n"
                           : "<a href=\"http://" + host + "/section-" + std::to_string(s) +
                                 "/index.html\">S</a>\n";
    }
    Write(root, "/index.html", home + Filler(0) + "</BODY></HTML>\n");
    files.push_back({"/index.html", "index", 0});
    files.push_back({"/missing.html", "missing", 1});
    files.push_back({"/section-1", "redirect", 1});

    for (int s = 1; s <= kSections; ++s) {
        const std::string dir = "/section-" + std::to_string(s) + "/";
        std::string index = "<html><body><a href=\"../index.html#top\">home</a>\n";
        for (int p = 1; p <= perSection; ++p) {
            index += p % 3 == 0 ? "<a href=\"" + dir + "page-" + std::to_string(p) + ".html\">p</a>\n"
                                : "<a href=\"page-" + std::to_string(p) + ".html\">p</a>\n";
        }
        Write(root, dir + "index.html",
              index + "<img src=\"" + Image(s) + "\">" + Filler(s) + "</body></html>\n");
        files.push_back({dir + "index.html", "index", 1});

        for (int p = 1; p <= perSection; ++p) {
            const std::string name = "page-" + std::to_string(p) + ".html";
            std::string page = "<html><body>\n<a href=\"index.html\">up</a>\n"
                               "<a href=\"sub/" + name + "\">deeper</a>\n"
                               "<a href=\"page-" + std::to_string(p % perSection + 1) + ".html#s2\">next</a>\n"
                               "<img src=\"" + Image(s * 7 + p) + "\">\n";
            Write(root, dir + name, page + Filler(p) + "</body></html>\n");
            files.push_back({dir + name, "page", 2});

            std::string sub = "<html><body>\n<a href=\"../" + name + "\">back</a>\n"
                              "<a href=\"../../index.html\">home</a>\n"
                              "<img src=\"../../img/i" + std::to_string((s + p) % kImages) + ".gif\">\n";
            Write(root, dir + "sub/" + name, sub + Filler(p + 1) + "</body></html>\n");
            files.push_back({dir + "sub/" + name, "page", 3});
        }
    }
    for (int i = 0; i < kImages; ++i) {
        Write(root, "/img/i" + std::to_string(i) + ".gif", "GIF89a" + std::string(200 + i, 'x'));
        files.push_back({"/img/i" + std::to_string(i) + ".gif", "img", -1});
    }
    Write(root, "/css/site.css",
          "body { background: url(\"../img/bg.gif\"); }\nli { list-style: url(/img/dot.gif); }\n");
    files.push_back({"/css/site.css", "css", -1});
    for (const char* image : {"/img/bg.gif", "/img/dot.gif"}) {
        Write(root, image, "GIF89a-css");
        files.push_back({image, "cssimg", -1});
    }
    return files;
}

} // namespace torvex::test
