// Torvex's browser extension: one context-menu entry, "Download by Torvex", on links, images,
// selections and pages. A click hands the address under the menu, a short text for it and the
// address of the page to Torvex's native-messaging host, which passes them to the program.
// The same script runs as Chromium's service worker and as Firefox's background script.
"use strict";

const ext = globalThis.browser ?? globalThis.chrome;

const HOST_NAME = "torvex.pellix";
const MENU_ID = "download-by-torvex";
// The program keeps a short text only; there is no point in sending a whole selection.
const MAX_TEXT_CHARACTERS = 128;
const ADDRESS = /^(?:https?|ftp):\/\/\S+$/i;

function createMenu() {
    ext.contextMenus.create(
        {
            id: MENU_ID,
            title: "Download by Torvex",
            contexts: ["link", "image", "selection", "page"],
        },
        () => {
            // The entry outlives a restart of the worker, so creating it again reports a
            // duplicate; that is expected.
            void ext.runtime.lastError;
        },
    );
}

// One line of text, cut by characters (never inside one) to what the program keeps.
function shortText(text) {
    const line = String(text ?? "").replace(/\s+/g, " ").trim();
    return Array.from(line).slice(0, MAX_TEXT_CHARACTERS).join("");
}

// Runs in the page: the text of the link or image at `address`, as the user sees it.
function textOfTarget(kind, address) {
    const clean = (text) => String(text ?? "").replace(/\s+/g, " ").trim();
    if (kind === "link") {
        for (const link of document.querySelectorAll("a[href], area[href]")) {
            if (link.href !== address) {
                continue;
            }
            const image = link.querySelector("img[alt]");
            const text = clean(link.innerText) || clean(image?.alt) || clean(link.title);
            if (text) {
                return text;
            }
        }
    } else {
        for (const image of document.images) {
            if (image.currentSrc === address || image.src === address) {
                const text = clean(image.alt) || clean(image.title);
                if (text) {
                    return text;
                }
            }
        }
    }
    return "";
}

// The menu's data does not carry the link text (Chromium) or an image's alt text, so they are
// read from the frame the menu was opened in, which the click allows for that tab.
async function textInPage(tab, info, kind, address) {
    if (!tab || tab.id === undefined || tab.id < 0 || !ext.scripting) {
        return "";
    }
    try {
        const results = await ext.scripting.executeScript({
            target: { tabId: tab.id, frameIds: [info.frameId ?? 0] },
            func: textOfTarget,
            args: [kind, address],
        });
        return results?.[0]?.result ?? "";
    } catch (error) {
        return ""; // pages the browser keeps extensions out of
    }
}

// The request for the host: the address under the menu, a short text for it and the address
// of the page it was found on.
async function requestFor(info, tab) {
    const pageUrl = info.pageUrl || tab?.url || "";
    const parentUrl = info.frameUrl || pageUrl;
    const title = tab?.title ?? "";
    if (info.linkUrl) {
        const text =
            info.linkText ||
            (await textInPage(tab, info, "link", info.linkUrl)) ||
            info.selectionText;
        return { url: info.linkUrl, info: shortText(text), parentUrl };
    }
    if (info.srcUrl) {
        const text = await textInPage(tab, info, "image", info.srcUrl);
        return { url: info.srcUrl, info: shortText(text), parentUrl };
    }
    const selection = String(info.selectionText ?? "").trim();
    if (ADDRESS.test(selection)) {
        return { url: selection, info: shortText(title), parentUrl };
    }
    if (selection) {
        return { url: pageUrl, info: shortText(selection), parentUrl };
    }
    return { url: pageUrl, info: shortText(title), parentUrl: pageUrl };
}

function notify(message) {
    try {
        Promise.resolve(
            ext.notifications.create({
                type: "basic",
                iconUrl: ext.runtime.getURL("icon-48.png"),
                title: "Torvex",
                message,
            }),
        ).catch(() => {});
    } catch (error) {
        // Notifications switched off: nothing more can be told.
    }
}

// Sends one request; the host's reply, or null when the host could not be reached.
async function sendToTorvex(request) {
    let reply;
    try {
        reply = await ext.runtime.sendNativeMessage(HOST_NAME, request);
    } catch (error) {
        notify(
            "Torvex could not be reached (" +
                (error?.message ?? error) +
                "). In Torvex, turn on Option > Browser Integration, then try again.",
        );
        return null;
    }
    if (reply?.ok !== true) {
        notify(reply?.error || "Torvex did not take the address.");
    }
    return reply ?? null;
}

async function handleMenuClick(info, tab) {
    if (info.menuItemId !== MENU_ID) {
        return null;
    }
    const request = await requestFor(info, tab);
    if (!request.url) {
        notify("There is no address here for Torvex to download.");
        return null;
    }
    return sendToTorvex(request);
}

createMenu();
ext.contextMenus.onClicked.addListener((info, tab) => {
    handleMenuClick(info, tab);
});
