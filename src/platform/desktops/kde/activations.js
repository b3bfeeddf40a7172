// Loaded into KWin by the agent: tells the agent's own D-Bus object which window became active.
// KWin first reports "no window" on every switch; that says nothing about the application.
// @SERVICE@, @PATH@ and @INTERFACE@ are replaced by the agent before loading.
// KWin 6 calls windows what KWin 5 called clients; the script uses the names this KWin has.
function report(window) {
    if (!window)
        return;
    callDBus("@SERVICE@", "@PATH@", "@INTERFACE@", "windowActivated",
             String(window.resourceClass), String(window.resourceName), String(window.desktopFileName),
             String(window.pid));
}
const windowsApi = workspace.windowActivated !== undefined;
(windowsApi ? workspace.windowActivated : workspace.clientActivated).connect(report);
report(windowsApi ? workspace.activeWindow : workspace.activeClient);
