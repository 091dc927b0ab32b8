#include "download/browser_host.h"

#include <exdispid.h>
#include <idispids.h>
#include <mshtmdid.h>
#include <mshtmhst.h>
#include <olectl.h>
#include <urlmon.h>

#include <atomic>
#include <new>
#include <utility>

#include "shared/trace.h"
#include "site/site_navigation.h"

namespace browser_host {
namespace {

std::atomic<long> g_live{0};

// One counted reference to a COM object; released when it leaves scope.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  explicit ComRef(T* p) : p_(p) {}  // takes over a reference
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ComRef(ComRef&& other) noexcept : p_(other.release()) {}
  ComRef& operator=(ComRef&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = other.release();
    }
    return *this;
  }
  ~ComRef() { reset(); }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** put() {
    reset();
    return &p_;
  }
  T* release() { return std::exchange(p_, nullptr); }
  void reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }

 private:
  T* p_ = nullptr;
};

template <typename T>
ComRef<T> Query(IUnknown* from, REFIID iid) {
  ComRef<T> to;
  if (from) from->QueryInterface(iid, reinterpret_cast<void**>(to.put()));
  return to;
}

// The reference count and the live-object tally every container object shares.
class Counted {
 public:
  Counted() { ++g_live; }
  virtual ~Counted() { --g_live; }
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;

 protected:
  ULONG AddRefImpl() { return static_cast<ULONG>(++refs_); }
  ULONG ReleaseImpl() {
    const long left = --refs_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

 private:
  std::atomic<long> refs_{1};
};

std::string Utf8(const wchar_t* text, int length) {
  if (!text || length <= 0) return "";
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return "";
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return L"";
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return L"";
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

// The string a variant holds, itself or by reference; `ok` false when it
// holds none (or one with a NUL inside, which no real address has).
std::string VariantText(const VARIANT* v, bool* ok) {
  *ok = false;
  while (v && V_VT(v) == (VT_BYREF | VT_VARIANT)) v = V_VARIANTREF(v);
  if (!v) return "";
  BSTR text = nullptr;
  if (V_VT(v) == VT_BSTR)
    text = V_BSTR(v);
  else if (V_VT(v) == (VT_BYREF | VT_BSTR) && V_BSTRREF(v))
    text = *V_BSTRREF(v);
  else
    return "";
  const UINT length = SysStringLen(text);
  for (UINT i = 0; i < length; ++i)
    if (text[i] == L'\0') return "";
  *ok = true;
  return Utf8(text, static_cast<int>(length));
}

// Sets every by-reference boolean among the arguments (the events' Cancel).
bool CancelAll(DISPPARAMS* params) {
  bool any = false;
  for (UINT i = 0; params && i < params->cArgs; ++i) {
    VARIANT& a = params->rgvarg[i];
    if (V_VT(&a) == (VT_BYREF | VT_BOOL) && V_BOOLREF(&a)) {
      *V_BOOLREF(&a) = VARIANT_TRUE;
      any = true;
    }
  }
  return any;
}

// --- the event sink ---------------------------------------------------------

class NavigationGuard final : public IDispatch, private Counted {
 public:
  explicit NavigationGuard(std::string site_url) : site_url_(std::move(site_url)) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2)
      *out = static_cast<IDispatch*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
    switch (id) {
      case DISPID_BEFORENAVIGATE2: {
        // (pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel),
        // last argument first.
        if (!params || params->cArgs != 7) return E_INVALIDARG;
        VARIANT& cancel = params->rgvarg[0];
        if (V_VT(&cancel) != (VT_BYREF | VT_BOOL) || !V_BOOLREF(&cancel)) return E_INVALIDARG;
        bool allowed = false;
        try {
          bool readable = false;
          const std::string url = VariantText(&params->rgvarg[5], &readable);
          allowed = readable && site::IsSiteNavigation(site_url_, url);
        } catch (...) {
          TraceCaughtException("the catalogue browser's navigation check");  // refused, below
        }
        if (!allowed) *V_BOOLREF(&cancel) = VARIANT_TRUE;
        return S_OK;
      }
      case DISPID_NEWWINDOW2:
      case DISPID_NEWWINDOW3:
        // No page opens a window of its own (pop-ups, target="_blank").
        return CancelAll(params) ? S_OK : E_INVALIDARG;
      case DISPID_FILEDOWNLOAD: {
        // (ActiveDocument, Cancel): a document shows in the control; a file
        // would bring up the system's save dialog, which this form never offers.
        if (!params || params->cArgs != 2) return E_INVALIDARG;
        VARIANT& active = params->rgvarg[1];
        if (V_VT(&active) == VT_BOOL && V_BOOL(&active) != VARIANT_FALSE) return S_OK;
        return CancelAll(params) ? S_OK : E_INVALIDARG;
      }
      default:
        return S_OK;
    }
  }

 private:
  const std::string site_url_;
};

// --- the security manager ---------------------------------------------------

// Refuses scripts, Java, ActiveX (run, script, download); everything else is
// left to the system's own manager.
class SecurityManager final : public IInternetSecurityManager, private Counted {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IInternetSecurityManager)
      *out = static_cast<IInternetSecurityManager*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }

  STDMETHODIMP SetSecuritySite(IInternetSecurityMgrSite*) override { return INET_E_DEFAULT_ACTION; }
  STDMETHODIMP GetSecuritySite(IInternetSecurityMgrSite** site) override {
    if (site) *site = nullptr;
    return INET_E_DEFAULT_ACTION;
  }
  STDMETHODIMP MapUrlToZone(LPCWSTR, DWORD*, DWORD) override { return INET_E_DEFAULT_ACTION; }
  STDMETHODIMP GetSecurityId(LPCWSTR, BYTE*, DWORD*, DWORD_PTR) override { return INET_E_DEFAULT_ACTION; }
  STDMETHODIMP ProcessUrlAction(LPCWSTR, DWORD action, BYTE* policy, DWORD policy_size, BYTE*, DWORD, DWORD,
                                DWORD) override {
    if (!Refused(action)) return INET_E_DEFAULT_ACTION;
    if (policy && policy_size >= sizeof(DWORD)) {
      const DWORD disallow = URLPOLICY_DISALLOW;
      CopyMemory(policy, &disallow, sizeof disallow);
    }
    return S_FALSE;
  }
  STDMETHODIMP QueryCustomPolicy(LPCWSTR, REFGUID, BYTE** policy, DWORD* size, BYTE*, DWORD, DWORD) override {
    if (policy) *policy = nullptr;
    if (size) *size = 0;
    return INET_E_DEFAULT_ACTION;
  }
  STDMETHODIMP SetZoneMapping(DWORD, LPCWSTR, DWORD) override { return INET_E_DEFAULT_ACTION; }
  STDMETHODIMP GetZoneMappings(DWORD, IEnumString** list, DWORD) override {
    if (list) *list = nullptr;
    return INET_E_DEFAULT_ACTION;
  }

  static bool Refused(DWORD action) {
    return (action >= URLACTION_DOWNLOAD_MIN && action <= URLACTION_DOWNLOAD_MAX) ||
           (action >= URLACTION_ACTIVEX_MIN && action <= URLACTION_ACTIVEX_MAX) ||
           (action >= URLACTION_SCRIPT_MIN && action <= URLACTION_SCRIPT_MAX) ||
           (action >= URLACTION_JAVA_MIN && action <= URLACTION_JAVA_MAX) || action == URLACTION_HTML_JAVA_RUN;
  }
};

// --- the client site --------------------------------------------------------

class BrowserSite final : public IOleClientSite,
                          public IOleInPlaceSite,
                          public IOleInPlaceFrame,
                          public IDocHostUIHandler,
                          public IServiceProvider,
                          public IDispatch,
                          private Counted {
 public:
  explicit BrowserSite(HWND window) : window_(window) {}

  // The window is going: nothing may reach it through the site any more.
  void Detach() { window_ = nullptr; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
      *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
      *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
      *out = static_cast<IOleInPlaceFrame*>(this);
    else if (iid == IID_IDocHostUIHandler)
      *out = static_cast<IDocHostUIHandler*>(this);
    else if (iid == IID_IServiceProvider)
      *out = static_cast<IServiceProvider*>(this);
    else if (iid == IID_IDispatch)
      *out = static_cast<IDispatch*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** container) override {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (for both the in-place site and the frame)
  STDMETHODIMP GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = window_;
    return window_ ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return window_ ? S_OK : S_FALSE; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* pos, RECT* clip,
                                OLEINPLACEFRAMEINFO* info) override {
    if (frame) {
      *frame = static_cast<IOleInPlaceFrame*>(this);
      AddRef();
    }
    if (doc) *doc = nullptr;
    RECT rc{};
    if (window_) GetClientRect(window_, &rc);
    if (pos) *pos = rc;
    if (clip) *clip = rc;
    if (info) {
      info->fMDIApp = FALSE;
      info->hwndFrame = window_ ? GetAncestor(window_, GA_ROOT) : nullptr;
      info->haccel = nullptr;
      info->cAccelEntries = 0;
    }
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow, IOleInPlaceFrame: no menus, toolbars or status bar.
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDocHostUIHandler: no context menu, no help, no external object.
  STDMETHODIMP ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override { return S_OK; }
  STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override {
    if (!info) return E_POINTER;
    info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_DISABLE_HELP_MENU | DOCHOSTUIFLAG_DIALOG |
                    DOCHOSTUIFLAG_ENABLE_INPLACE_NAVIGATION;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    info->pchHostCss = nullptr;
    info->pchHostNS = nullptr;
    return S_OK;
  }
  STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                      IOleInPlaceUIWindow*) override {
    return S_OK;
  }
  STDMETHODIMP HideUI() override { return S_OK; }
  STDMETHODIMP UpdateUI() override { return S_OK; }
  STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, const GUID*, DWORD) override { return S_FALSE; }
  STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD) override {
    if (key) *key = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget** target) override {
    if (target) *target = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetExternal(IDispatch** external) override {
    if (external) *external = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR* out) override {
    if (out) *out = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP FilterDataObject(IDataObject*, IDataObject** out) override {
    if (out) *out = nullptr;
    return S_FALSE;
  }

  // IServiceProvider: the security manager; nothing else.
  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (service != SID_SInternetSecurityManager) return E_NOINTERFACE;
    SecurityManager* manager = new (std::nothrow) SecurityManager;
    if (!manager) return E_OUTOFMEMORY;
    const HRESULT hr = manager->QueryInterface(iid, out);
    manager->Release();
    return hr;
  }

  // IDispatch: the ambient properties the control asks its container for.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                      UINT*) override {
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (!result) return E_POINTER;
    VariantInit(result);
    switch (id) {
      case DISPID_AMBIENT_DLCONTROL:
        V_VT(result) = VT_I4;
        V_I4(result) = static_cast<LONG>(DownloadControlFlags());
        return S_OK;
      case DISPID_AMBIENT_SILENT:
      case DISPID_AMBIENT_USERMODE:
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = VARIANT_TRUE;
        return S_OK;
      case DISPID_AMBIENT_OFFLINEIFNOTCONNECTED:
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = VARIANT_FALSE;
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  HWND window_;
};

// --- the window -------------------------------------------------------------

constexpr char kClassName[] = "QrvSiteBrowser";

// What one browser window holds; released in reverse order when it goes.
struct BrowserWindow {
  bool ole_initialized = false;
  ComRef<BrowserSite> site;
  ComRef<IDispatch> guard;
  ComRef<IOleObject> object;
  ComRef<IWebBrowser2> browser;
  ComRef<IConnectionPoint> events;
  DWORD cookie = 0;

  ~BrowserWindow() {
    if (events && cookie) events->Unadvise(cookie);
    events.reset();
    if (browser) browser->Stop();
    if (object) {
      if (ComRef<IOleInPlaceObject> in_place = Query<IOleInPlaceObject>(object.get(), IID_IOleInPlaceObject))
        in_place->InPlaceDeactivate();
      object->Close(OLECLOSE_NOSAVE);
      object->SetClientSite(nullptr);
    }
    browser.reset();
    object.reset();
    if (site) site->Detach();
    site.reset();
    guard.reset();
    if (ole_initialized) OleUninitialize();
  }
};

void FitControl(HWND window, BrowserWindow* state) {
  if (!state || !state->object) return;
  RECT rc;
  GetClientRect(window, &rc);
  if (ComRef<IOleInPlaceObject> in_place = Query<IOleInPlaceObject>(state->object.get(), IID_IOleInPlaceObject))
    in_place->SetObjectRects(&rc, &rc);
}

// What CreateWindowEx hands the new window: the state it takes over.
struct Handover {
  BrowserWindow* state;
  bool taken;
};

LRESULT CALLBACK BrowserWindowProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  // No exception may unwind through the system's code that called us.
  try {
    auto* state = reinterpret_cast<BrowserWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (msg) {
      case WM_NCCREATE: {
        auto* handover = static_cast<Handover*>(reinterpret_cast<const CREATESTRUCTA*>(lp)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(handover->state));
        handover->taken = true;
        break;
      }
      case WM_SIZE:
        FitControl(window, state);
        return 0;
      case WM_ERASEBKGND:
        if (state && state->object) return 1;  // the control paints all of it
        break;
      case WM_DESTROY:
        // Before the control's own windows go: it is told to close while
        // they still exist.
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        delete state;
        return 0;
      case WM_NCDESTROY:
        // Only when the window went without its WM_DESTROY (a failed creation).
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        delete state;
        break;
      default:
        break;
    }
  } catch (...) {
    TraceCaughtException("the catalogue browser's procedure");
  }
  return DefWindowProcA(window, msg, wp, lp);
}

bool RegisterBrowserClass(HINSTANCE inst) {
  WNDCLASSEXA wc{};
  if (GetClassInfoExA(inst, kClassName, &wc)) return true;
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &BrowserWindowProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kClassName;
  return RegisterClassExA(&wc) != 0;
}

// Puts the control into `window` and starts it on its way; false (the
// window then releases whatever was made) when any step fails.
bool Embed(HWND window, BrowserWindow* state, const std::string& site_url, const std::string& start_url) {
  const HRESULT ole = OleInitialize(nullptr);
  if (FAILED(ole)) return false;
  state->ole_initialized = true;

  if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                              reinterpret_cast<void**>(state->object.put()))))
    return false;
  state->browser = Query<IWebBrowser2>(state->object.get(), IID_IWebBrowser2);
  if (!state->browser) return false;

  state->site = ComRef<BrowserSite>(new (std::nothrow) BrowserSite(window));
  state->guard = ComRef<IDispatch>(NewNavigationGuard(site_url));
  if (!state->site || !state->guard) return false;
  if (FAILED(state->object->SetClientSite(static_cast<IOleClientSite*>(state->site.get())))) return false;
  if (ComRef<IOleControl> control = Query<IOleControl>(state->object.get(), IID_IOleControl))
    control->OnAmbientPropertyChange(DISPID_AMBIENT_DLCONTROL);

  // No navigation may happen unguarded: without the sink there is no browser.
  ComRef<IConnectionPointContainer> points =
      Query<IConnectionPointContainer>(state->object.get(), IID_IConnectionPointContainer);
  if (!points || FAILED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, state->events.put())) ||
      !state->events)
    return false;
  if (FAILED(state->events->Advise(state->guard.get(), &state->cookie)) || !state->cookie) return false;

  state->browser->put_Silent(VARIANT_TRUE);
  state->browser->put_RegisterAsBrowser(VARIANT_FALSE);
  state->browser->put_RegisterAsDropTarget(VARIANT_FALSE);

  RECT rc;
  GetClientRect(window, &rc);
  if (FAILED(state->object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, state->site.get(), 0, window, &rc)))
    return false;
  FitControl(window, state);

  const std::wstring address = Wide(start_url);
  BSTR text = SysAllocStringLen(address.data(), static_cast<UINT>(address.size()));
  if (!text) return false;
  VARIANT url;
  VariantInit(&url);
  V_VT(&url) = VT_BSTR;
  V_BSTR(&url) = text;
  VARIANT empty;
  VariantInit(&empty);
  const HRESULT hr = state->browser->Navigate2(&url, &empty, &empty, &empty, &empty);
  VariantClear(&url);
  return SUCCEEDED(hr);
}

}  // namespace

DWORD DownloadControlFlags() {
  return DLCTL_NO_SCRIPTS | DLCTL_NO_JAVA | DLCTL_NO_RUNACTIVEXCTLS | DLCTL_NO_DLACTIVEXCTLS | DLCTL_SILENT;
}

IDispatch* NewNavigationGuard(const std::string& site_url) { return new (std::nothrow) NavigationGuard(site_url); }

IOleClientSite* NewBrowserSite(HWND window) { return new (std::nothrow) BrowserSite(window); }

long LiveObjects() { return g_live.load(); }

HWND CreateSiteBrowser(HWND parent, int id, const std::string& site_url, const std::string& start_url) {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  if (!RegisterBrowserClass(inst)) return nullptr;
  auto* state = new (std::nothrow) BrowserWindow;
  if (!state) return nullptr;
  Handover handover{state, false};
  HWND window = CreateWindowExA(0, kClassName, "", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_CLIPCHILDREN, 0, 0, 0, 0,
                                parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), inst, &handover);
  if (!window) {
    if (!handover.taken) delete state;  // else the window released it as it went
    return nullptr;
  }
  if (!Embed(window, state, site_url, start_url)) {
    DestroyWindow(window);  // releases the state and whatever it holds
    return nullptr;
  }
  return window;
}

IWebBrowser2* WebBrowserOf(HWND window) {
  char name[32] = "";
  if (!window || !GetClassNameA(window, name, sizeof name) || lstrcmpA(name, kClassName) != 0) return nullptr;
  auto* state = reinterpret_cast<BrowserWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!state || !state->browser) return nullptr;
  state->browser->AddRef();
  return state->browser.get();
}

}  // namespace browser_host
