// Reports the active tab of the last focused normal window to the Hourloom agent through its
// native-messaging host, on every change that can alter it. Private (incognito) tabs are
// reported without their URL, so private browsing is never recorded.
"use strict";

const api = globalThis.browser ?? globalThis.chrome;
const HOST_NAME = "org.hourloom.browser_bridge";
const FIRST_RETRY_MS = 1000;
const LAST_RETRY_MS = 60000;

let port = null;
let retryMs = FIRST_RETRY_MS;
let lastSent = null;
// Reports are read and sent one after another, so that an older answer never overtakes a newer one.
let pending = Promise.resolve();

// Only the scheme and host leave the browser: all the agent needs for the domain, however long
// the address and whatever its path and query hold.
function originOf(url) {
  try {
    const parsed = new URL(url);
    return parsed.host ? `${parsed.protocol}//${parsed.hostname}` : parsed.protocol;
  } catch (error) {
    return "";
  }
}

async function currentState() {
  let window;
  try {
    window = await api.windows.getLastFocused({ populate: true, windowTypes: ["normal"] });
  } catch (error) {
    // No normal window: the browser shows no page.
    return { type: "state", url: null, windowFocused: false, incognito: false };
  }
  const tab = (window.tabs || []).find((candidate) => candidate.active);
  const incognito = Boolean(window.incognito || (tab && tab.incognito));
  const address = !tab || incognito ? null : tab.url || tab.pendingUrl || null;
  const url = address === null ? null : originOf(address);
  return { type: "state", url, windowFocused: Boolean(window.focused), incognito };
}

function report() {
  pending = pending.then(async () => {
    if (!port) return;
    const state = await currentState();
    const text = JSON.stringify(state);
    if (text === lastSent || !port) return;
    port.postMessage(state);
    lastSent = text;
  }).catch(() => {});
}

function connect() {
  port = api.runtime.connectNative(HOST_NAME);
  lastSent = null;
  port.onMessage.addListener((message) => {
    if (message && message.type === "ready") retryMs = FIRST_RETRY_MS;
  });
  port.onDisconnect.addListener(() => {
    port = null;
    // The host failed or is missing: try again later, waiting longer each time.
    setTimeout(connect, retryMs);
    retryMs = Math.min(retryMs * 2, LAST_RETRY_MS);
  });
  report();
}

api.tabs.onActivated.addListener(report);
api.tabs.onUpdated.addListener((tabId, change) => {
  if ("url" in change || change.status === "complete") report();
});
api.tabs.onCreated.addListener(report);
api.tabs.onRemoved.addListener(report);
api.tabs.onReplaced.addListener(report);
api.tabs.onAttached.addListener(report);
api.tabs.onDetached.addListener(report);
api.windows.onCreated.addListener(report);
api.windows.onRemoved.addListener(report);
api.windows.onFocusChanged.addListener(report);

connect();
