// Whole runs over small sites shaped like what documentation tools and today's web sites
// publish (a Sphinx manual, DocBook chunked HTML, a responsive site), each copied with the
// shipped defaults' link style (links to what was not fetched go back to the site) and
// checked as stored: every part stored, every local link opening a stored file, the links that
// are no addresses untouched, and nothing requested that is not a file.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/IRunListener.h"
#include "platform/FileSystem.h"
#include "support/LinkCheck.h"
#include "support/LoopbackSite.h"
#include "support/PipelineRunner.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CLoopbackSite;
using test::CPipelineRunner;
using test::HttpReply;
using test::ProjectIn;
using test::ReadFileBytes;
using test::TempDir;

class SiteCopy : public ::testing::Test {
protected:
    void Html(const std::string& path, const std::string& body) {
        m_site.Serve(path, HttpReply("200 OK", "text/html", body));
    }
    void File(const std::string& path, const std::string& type, const std::string& body) {
        m_site.Serve(path, HttpReply("200 OK", type, body));
    }

    // Runs the project from `startPath` to its end, its record converted as the shipped
    // defaults ask (Link=1, AutoConvert=1).
    void Copy(const std::string& startPath) {
        CProjectSettings project = ProjectIn(m_dir.Str(), {m_site.Url(startPath)});
        project.Link = 1;
        project.AutoConvert = true;
        project.Retry = 3;
        project.Addresses[0].Level = 0;
        project.Addresses[0].Filter.HostFilter = 2;
        ASSERT_EQ(m_rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    }

    std::string Stored(const std::string& file) const {
        return m_dir.Str() + "/download/latest/" + m_site.Host() + file;
    }
    std::string Page(const std::string& file) const { return ReadFileBytes(Stored(file)); }

    // Every link of the copy opens a stored file or goes to a site.
    void ExpectNoDeadLinks(long minimumLocal) {
        const test::LinkCheck check = test::CheckLinks(m_dir.Str() + "/download/latest");
        EXPECT_EQ(check.localMissing, 0) << check.output;
        EXPECT_EQ(check.localOutside, 0) << check.output;
        EXPECT_GE(check.localOk, minimumLocal) << check.output;
    }

    // No request named script code or another scheme.
    void ExpectOnlyFilesRequested(const std::vector<std::string>& never) {
        for (const std::string& target : never) {
            EXPECT_EQ(m_site.Count(target), 0) << target;
        }
    }

    CLoopbackSite m_site;
    TempDir m_dir;
    CPipelineRunner m_rig;
};

TEST_F(SiteCopy, SphinxManual) {
    Html("/docs/index.html",
         "<!DOCTYPE html>\n<html lang=\"en\"><head>\n"
         "<link rel=\"stylesheet\" type=\"text/css\" href=\"_static/pygments.css?v=4f649999\" />\n"
         "<link rel=\"stylesheet\" type=\"text/css\" href=\"_static/alabaster.css?v=039e1c02\" />\n"
         "<script data-url_root=\"./\" id=\"documentation_options\" "
         "src=\"_static/documentation_options.js?v=b3ba4146\"></script>\n"
         "<script src=\"_static/sphinx_highlight.js?v=4825356b\"></script>\n"
         "<link rel=\"index\" title=\"Index\" href=\"genindex.html\" />\n"
         "<link rel=\"search\" title=\"Search\" href=\"search.html\" />\n"
         "<link rel=\"next\" title=\"Install\" href=\"install.html\" />\n"
         "</head><body>\n"
         "<a class=\"reference internal\" href=\"install.html#linux\">Linux</a>\n"
         "<a href=\"javascript:void(0)\" onclick=\"toggle()\">menu</a>\n"
         "<a class=\"reference external\" href=\"http://www.python.invalid/\">Python</a>\n"
         "<a href=\"mailto:docs&#64;example.org\">mail</a>\n"
         "<img alt=\"_images/logo.png\" src=\"_images/logo.png\" />\n"
         "<a href=\"old-page.html\">gone</a>\n"
         "</body></html>\n");
    File("/docs/_static/pygments.css?v=4f649999", "text/css", ".hll { background: #ffc }\n");
    File("/docs/_static/alabaster.css?v=039e1c02", "text/css",
         "@import url(\"basic.css\");\ndiv.body { background: url(img/paper.png) }\n");
    File("/docs/_static/basic.css", "text/css", "a.headerlink { background: url(link.svg) }\n");
    File("/docs/_static/img/paper.png", "image/png", "PNG");
    File("/docs/_static/link.svg", "image/svg+xml", "<svg/>");
    File("/docs/_static/documentation_options.js?v=b3ba4146", "application/javascript",
         "var DOCUMENTATION_OPTIONS = { URL_ROOT: './' };\n");
    File("/docs/_static/sphinx_highlight.js?v=4825356b", "application/javascript",
         "$('<p class=\"highlight-link\"><a href=\"javascript:SphinxHighlight.hideSearchWords()\">"
         "' + _('Hide') + '</a></p>');\n"
         "x = '<img src=\"' + DOCUMENTATION_OPTIONS.URL_ROOT + '_static/file.png\"/>';\n");
    File("/docs/_images/logo.png", "image/png", "PNG");
    Html("/docs/genindex.html", "<a href=\"index.html\">home</a>");
    Html("/docs/search.html", "<script src=\"searchindex.js\"></script>");
    File("/docs/searchindex.js", "application/javascript", "Search.setIndex({})");
    Html("/docs/install.html",
         "<link rel=\"prev\" href=\"index.html\" /><link rel=\"stylesheet\" "
         "href=\"_static/alabaster.css?v=039e1c02\" /><h2 id=\"linux\">Linux</h2>");
    Copy("/docs/index.html");

    // The versioned sheets are stored under names that end in ".css" and read for their
    // imports and images; every page links to them by those names.
    for (const char* file : {"/docs/_static/pygments.css-v=4f649999.css",
                             "/docs/_static/alabaster.css-v=039e1c02.css",
                             "/docs/_static/basic.css", "/docs/_static/img/paper.png",
                             "/docs/_static/link.svg", "/docs/_images/logo.png",
                             "/docs/genindex.html", "/docs/search.html", "/docs/searchindex.js",
                             "/docs/install.html",
                             "/docs/_static/sphinx_highlight.js-v=4825356b"}) {
        EXPECT_TRUE(FileExists(Stored(file))) << file;
    }
    const std::string index = Page("/docs/index.html");
    for (const char* text :
         {"href=\"_static/pygments.css-v=4f649999.css\"",
          "href=\"_static/alabaster.css-v=039e1c02.css\"", "href=\"install.html#linux\"",
          "href=\"javascript:void(0)\" onclick=\"toggle()\"",
          "href=\"http://www.python.invalid/\"", "href=\"mailto:docs&#64;example.org\""}) {
        EXPECT_NE(index.find(text), std::string::npos) << text << "\n" << index;
    }
    EXPECT_NE(Page("/docs/install.html").find("href=\"_static/alabaster.css-v=039e1c02.css\""),
              std::string::npos);
    // The page the server does not have is asked for once: a 404 is the server's answer.
    EXPECT_EQ(m_site.Count("/docs/old-page.html"), 1);
    EXPECT_NE(index.find("href=\"" + m_site.Url("/docs/old-page.html") + "\""),
              std::string::npos)
        << index;
    const std::string highlight = Page("/docs/_static/sphinx_highlight.js-v=4825356b");
    EXPECT_NE(highlight.find("href=\"javascript:SphinxHighlight.hideSearchWords()\""),
              std::string::npos);
    ExpectOnlyFilesRequested({"/docs/_static/SphinxHighlight.hideSearchWords()",
                              "/docs/SphinxHighlight.hideSearchWords()", "/docs/void(0)",
                              "/docs/mailto:docs@example.org", "/docs/+ _(",
                              "/docs/+ DOCUMENTATION_OPTIONS.URL_ROOT +"});
    ExpectNoDeadLinks(10);
}

TEST_F(SiteCopy, DocBookChunkedHtml) {
    const std::string head =
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
        "charset=ISO-8859-1\"><title>Guide</title><link rel=\"stylesheet\" type=\"text/css\" "
        "href=\"docbook.css\"><meta name=\"generator\" content=\"DocBook XSL Stylesheets\">"
        "<link rel=\"home\" href=\"index.html\" title=\"Guide\">";
    Html("/guide/index.html",
         head + "<link rel=\"next\" href=\"ch01.html\" title=\"Chapter 1\"></head>"
                "<body bgcolor=\"white\" text=\"black\" link=\"#0000FF\">"
                "<div class=\"navheader\"><table width=\"100%\" summary=\"Navigation header\">"
                "<tr><td width=\"20%\" align=\"right\"> <a accesskey=\"n\" href=\"ch01.html\">"
                "Next</a></td></tr></table></div>"
                "<div class=\"toc\"><dl class=\"toc\"><dt><span class=\"chapter\">"
                "<a href=\"ch01.html\">1. Intro</a></span></dt><dd><dl><dt>"
                "<span class=\"section\"><a href=\"ch01s02.html\">Setup</a></span></dt></dl>"
                "</dd></dl></div>"
                "<div class=\"mediaobject\"><img src=\"images/arch.png\" alt=\"arch\"></div>"
                "<div class=\"mediaobject\"><object type=\"image/svg+xml\" "
                "data=\"images/flow.svg\" width=\"400\"></object></div>"
                "<a class=\"ulink\" href=\"http://www.docbook.invalid/\" target=\"_top\">"
                "DocBook</a> <a href=\"ch09.html\">Appendix</a></body></html>");
    Html("/guide/ch01.html",
         head + "<link rel=\"prev\" href=\"index.html\"></head><body>"
                "<a accesskey=\"p\" href=\"index.html\">Prev</a>"
                "<a accesskey=\"n\" href=\"ch01s02.html\">Next</a>"
                "<img src=\"images/callouts/1.png\" alt=\"1\" border=\"0\"></body></html>");
    Html("/guide/ch01s02.html",
         head + "</head><body><a accesskey=\"u\" href=\"ch01.html\">Up</a>"
                "<pre class=\"programlisting\">a &lt; b</pre></body></html>");
    File("/guide/docbook.css", "text/css", "body { background: url(images/bg.gif) }");
    File("/guide/images/arch.png", "image/png", "PNG");
    File("/guide/images/flow.svg", "image/svg+xml", "<svg/>");
    File("/guide/images/bg.gif", "image/gif", "GIF89a");
    File("/guide/images/callouts/1.png", "image/png", "PNG");
    Copy("/guide/index.html");

    for (const char* file : {"/guide/ch01.html", "/guide/ch01s02.html", "/guide/docbook.css",
                             "/guide/images/arch.png", "/guide/images/flow.svg",
                             "/guide/images/bg.gif", "/guide/images/callouts/1.png"}) {
        EXPECT_TRUE(FileExists(Stored(file))) << file;
    }
    const std::string index = Page("/guide/index.html");
    EXPECT_NE(index.find("data=\"images/flow.svg\""), std::string::npos) << index;
    EXPECT_NE(index.find("href=\"http://www.docbook.invalid/\""), std::string::npos) << index;
    EXPECT_NE(index.find("href=\"" + m_site.Url("/guide/ch09.html") + "\""), std::string::npos)
        << index;
    EXPECT_EQ(m_site.Count("/guide/ch09.html"), 1);
    ExpectNoDeadLinks(15);
}

TEST_F(SiteCopy, ResponsiveSite) {
    Html("/index.html",
         "<!doctype html><html lang=\"en\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
         "<link rel=\"preload\" href=\"/fonts/inter.woff2\" as=\"font\" type=\"font/woff2\" "
         "crossorigin>\n<link rel=\"modulepreload\" href=\"/js/app.mjs\">\n"
         "<link rel=\"icon\" href=\"/favicon.svg\" type=\"image/svg+xml\">\n"
         "<link rel=\"apple-touch-icon\" href=\"/apple-touch-icon.png\">\n"
         "<link rel=\"stylesheet\" href=\"/css/site.css?v=2022.1\">\n"
         "<link rel=\"canonical\" href=\"https://www.example.invalid/\">\n"
         "<style>:root{--hero:url(\"/img/hero-bg.jpg\")} .logo{background:url(/img/logo.svg#m)}"
         "</style>\n</head><body>\n"
         "<header class=\"hero\" style=\"background-image: url('/img/hero.webp')\">\n"
         "<picture><source srcset=\"/img/photo-800.webp 800w, /img/photo-1600.webp 1600w\" "
         "type=\"image/webp\" sizes=\"(max-width: 800px) 100vw, 800px\">"
         "<img src=\"/img/photo-800.jpg\" srcset=\"/img/photo-800.jpg 1x, /img/photo-1600.jpg 2x\""
         " alt=\"photo\" loading=\"lazy\"></picture>\n"
         "<video controls poster=\"/media/poster.jpg\"><source src=\"/media/clip.mp4\" "
         "type=\"video/mp4\"><track kind=\"captions\" src=\"/media/clip.vtt\"></video>\n"
         "<a href=\"tel:+15551234\">Call</a> <a href=\"javascript:void(0)\" "
         "onclick=\"openMenu()\">Menu</a> <a href=\"data:text/html,hi\">d</a>\n"
         "<a href=\"/about/?ref=home&amp;lang=en\">About</a> "
         "<a href=\"/blog/e&#120;ample.html\">Example</a> <a href=\"/blog/gone.html\">Gone</a>\n"
         "<script type=\"module\" src=\"/js/app.mjs\"></script>\n</header></body></html>\n");
    File("/css/site.css?v=2022.1", "text/css",
         "@import \"base.css\";\n.card{background:url(../img/card.png)}\n"
         "@font-face{font-family:Inter;src:url(/fonts/inter.woff2) format(\"woff2\")}\n");
    File("/css/base.css", "text/css", "body{background:url(/img/noise.png)}");
    for (const char* image :
         {"/img/hero-bg.jpg", "/img/logo.svg", "/img/hero.webp", "/img/photo-800.webp",
          "/img/photo-1600.webp", "/img/photo-800.jpg", "/img/photo-1600.jpg", "/img/card.png",
          "/img/noise.png", "/favicon.svg", "/apple-touch-icon.png", "/media/poster.jpg"}) {
        File(image, "image/png", "IMG");
    }
    File("/fonts/inter.woff2", "font/woff2", "wOF2");
    File("/js/app.mjs", "application/javascript", "import './menu.mjs';");
    File("/media/clip.mp4", "video/mp4", "MP4");
    File("/media/clip.vtt", "text/vtt", "WEBVTT");
    Html("/about/?ref=home&lang=en", "<a href=\"/\">home</a>");
    Html("/blog/example.html", "<a href=\"../index.html\">home</a>");
    m_site.Serve("/blog/gone.html", HttpReply("410 Gone", "text/html", "gone"));
    Copy("/index.html");

    for (const char* file :
         {"/css/site.css-v=2022.1.css", "/css/base.css", "/img/card.png", "/img/noise.png",
          "/fonts/inter.woff2", "/js/app.mjs", "/favicon.svg", "/apple-touch-icon.png",
          "/img/hero-bg.jpg", "/img/logo.svg", "/img/hero.webp", "/img/photo-800.webp",
          "/img/photo-1600.webp", "/img/photo-800.jpg", "/img/photo-1600.jpg",
          "/media/poster.jpg", "/media/clip.mp4", "/media/clip.vtt", "/blog/example.html",
          "/about/-ref=home&lang=en"}) {
        EXPECT_TRUE(FileExists(Stored(file))) << file;
    }
    const std::string index = Page("/index.html");
    for (const char* text :
         {"href=\"css/site.css-v=2022.1.css\"", "--hero:url(\"img/hero-bg.jpg\")",
          "url(img/logo.svg#m)", "style=\"background-image: url('img/hero.webp')\"",
          "srcset=\"img/photo-800.webp 800w, img/photo-1600.webp 1600w\"",
          "srcset=\"img/photo-800.jpg 1x, img/photo-1600.jpg 2x\"", "poster=\"media/poster.jpg\"",
          "href=\"tel:+15551234\"", "href=\"javascript:void(0)\" onclick=\"openMenu()\"",
          "href=\"data:text/html,hi\"", "href=\"https://www.example.invalid/\"",
          "href=\"blog/example.html\"", "href=\"about/-ref=home&lang=en\""}) {
        EXPECT_NE(index.find(text), std::string::npos) << text << "\n" << index;
    }
    EXPECT_EQ(Page("/css/site.css-v=2022.1.css"),
              "@import \"base.css\";\n.card{background:url(../img/card.png)}\n"
              "@font-face{font-family:Inter;src:url(../fonts/inter.woff2) format(\"woff2\")}\n");
    EXPECT_EQ(m_site.Count("/blog/gone.html"), 1);
    ExpectOnlyFilesRequested({"/tel:+15551234", "/void(0)", "/data:text/html,hi",
                              "/blog/e&", "/blog/e&#120;ample.html"});
    ExpectNoDeadLinks(20);
}

TEST_F(SiteCopy, OnlyAnswersThatMayChangeAreAskedForAgain) {
    // 404, 403 and 410 are the server's answer about the file; a busy or timed-out server
    // may answer next time, and so may a broken connection.
    Html("/index.html", "<a href=\"a.html\">a</a><a href=\"b.html\">b</a><a href=\"c.html\">c</a>"
                        "<a href=\"d.html\">d</a><a href=\"e.html\">e</a><a href=\"f.html\">f</a>");
    m_site.Serve("/b.html", HttpReply("403 Forbidden", "text/html", "no"));
    m_site.Serve("/c.html", HttpReply("410 Gone", "text/html", "gone"));
    m_site.Serve("/d.html", HttpReply("503 Service Unavailable", "text/html", "busy"));
    m_site.Serve("/e.html", HttpReply("429 Too Many Requests", "text/html", "slow down"));
    m_site.Serve("/f.html", HttpReply("408 Request Timeout", "text/html", "late"));
    Copy("/index.html");
    EXPECT_EQ(m_site.Count("/a.html"), 1);   // 404: not served at all
    EXPECT_EQ(m_site.Count("/b.html"), 1);
    EXPECT_EQ(m_site.Count("/c.html"), 1);
    EXPECT_EQ(m_site.Count("/d.html"), 4);   // Retry 3: four tries
    EXPECT_EQ(m_site.Count("/e.html"), 4);
    EXPECT_EQ(m_site.Count("/f.html"), 4);
}

} // namespace
} // namespace torvex
