#pragma once
// The catalogue's browser: the system's WebBrowser control in a container of
// our own, so that the page it shows stays a page of the site. The container
// turns scripts, Java and ActiveX off (ambient download control, and a
// security manager that refuses those actions), shows no context menu, and
// its event sink cancels every navigation that leaves the site and every new
// window the page asks for.
#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <exdisp.h>

#include <string>

namespace browser_host {

// What the container answers for the ambient download-control property: no
// scripts, Java or ActiveX (neither run nor downloaded), and silent (no
// script-error or other dialogs of the page).
DWORD DownloadControlFlags();

// The event sink (DWebBrowserEvents2 through IDispatch) for a browser of the
// site at `site_url`: BeforeNavigate2 is cancelled unless the address is a
// page of the site; NewWindow2, NewWindow3 and file downloads are always
// cancelled. Returned with one reference.
IDispatch* NewNavigationGuard(const std::string& site_url);

// The container's client site for a control shown in `window`:
// IOleClientSite, IOleInPlaceSite, IOleInPlaceFrame, IDocHostUIHandler,
// IServiceProvider (which hands out the security manager) and the ambient
// IDispatch. Returned with one reference.
IOleClientSite* NewBrowserSite(HWND window);

// How many of the container's COM objects are alive in this process: zero
// once every browser window is gone and nothing else holds one.
long LiveObjects();

// A child window of `parent` (control id `id`) that holds the WebBrowser
// control, guarded for the site at `site_url` and sent to `start_url`. The
// control follows the window's size; destroying the window disconnects the
// sink and releases the control and the container. nullptr when the control
// cannot be made or guarded (the caller then offers something else).
HWND CreateSiteBrowser(HWND parent, int id, const std::string& site_url, const std::string& start_url);

// The control inside a window made by CreateSiteBrowser, with one reference;
// nullptr for any other window.
IWebBrowser2* WebBrowserOf(HWND window);

}  // namespace browser_host
