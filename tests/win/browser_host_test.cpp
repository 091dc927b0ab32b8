// The catalogue browser's container, through its real COM objects: the event
// sink as the control calls it, the ambient properties and services the
// control's page engine asks for, and the real WebBrowser object of the
// system where it can be made (navigations against the local test server).
#include <windows.h>
#include <exdisp.h>
#include <exdispid.h>
#include <mshtmdid.h>
#include <mshtmhst.h>
#include <urlmon.h>

#include <gtest/gtest.h>

#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "download/browser_host.h"

namespace {

constexpr char kSite[] = "https://qrvsaver.example";

// An owned BSTR from UTF-8 text.
struct Bstr {
  BSTR b;
  explicit Bstr(const std::string& s) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    b = SysAllocStringLen(nullptr, static_cast<UINT>(n));
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), b, n);
  }
  ~Bstr() { SysFreeString(b); }
};

// Raises BeforeNavigate2 on `sink` the way the control does (the address by
// reference to a variant holding a BSTR); true when the sink cancelled.
bool BeforeNavigate2(IDispatch* sink, const std::string& url, HRESULT* hr = nullptr) {
  Bstr text(url);
  VARIANT url_value, empty, flags;
  VariantInit(&url_value);
  V_VT(&url_value) = VT_BSTR;
  V_BSTR(&url_value) = text.b;
  VariantInit(&empty);
  VariantInit(&flags);
  V_VT(&flags) = VT_I4;
  V_I4(&flags) = 0;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT args[7];
  for (VARIANT& a : args) VariantInit(&a);
  // Last argument first: Cancel, Headers, PostData, TargetFrameName, Flags, URL, pDisp.
  V_VT(&args[0]) = VT_BYREF | VT_BOOL;
  V_BOOLREF(&args[0]) = &cancel;
  for (int i : {1, 2, 3}) {
    V_VT(&args[i]) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args[i]) = &empty;
  }
  V_VT(&args[4]) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&args[4]) = &flags;
  V_VT(&args[5]) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&args[5]) = &url_value;
  V_VT(&args[6]) = VT_DISPATCH;
  V_DISPATCH(&args[6]) = nullptr;
  DISPPARAMS params{args, nullptr, 7, 0};
  const HRESULT r = sink->Invoke(DISPID_BEFORENAVIGATE2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                 nullptr, nullptr, nullptr);
  if (hr) *hr = r;
  return cancel != VARIANT_FALSE;
}

// Raises NewWindow3 (ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl); true
// when the sink cancelled.
bool NewWindow3(IDispatch* sink, const std::string& url) {
  Bstr text(url), context(kSite);
  IDispatch* window = nullptr;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT args[5];
  for (VARIANT& a : args) VariantInit(&a);
  V_VT(&args[0]) = VT_BSTR;
  V_BSTR(&args[0]) = text.b;
  V_VT(&args[1]) = VT_BSTR;
  V_BSTR(&args[1]) = context.b;
  V_VT(&args[2]) = VT_I4;
  V_I4(&args[2]) = 0;
  V_VT(&args[3]) = VT_BYREF | VT_BOOL;
  V_BOOLREF(&args[3]) = &cancel;
  V_VT(&args[4]) = VT_BYREF | VT_DISPATCH;
  V_DISPATCHREF(&args[4]) = &window;
  DISPPARAMS params{args, nullptr, 5, 0};
  sink->Invoke(DISPID_NEWWINDOW3, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
               nullptr);
  return cancel != VARIANT_FALSE;
}

// Raises NewWindow2 (ppDisp, Cancel); true when the sink cancelled.
bool NewWindow2(IDispatch* sink) {
  IDispatch* window = nullptr;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT args[2];
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  V_VT(&args[0]) = VT_BYREF | VT_BOOL;
  V_BOOLREF(&args[0]) = &cancel;
  V_VT(&args[1]) = VT_BYREF | VT_DISPATCH;
  V_DISPATCHREF(&args[1]) = &window;
  DISPPARAMS params{args, nullptr, 2, 0};
  sink->Invoke(DISPID_NEWWINDOW2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
               nullptr);
  return cancel != VARIANT_FALSE;
}

// Raises FileDownload (ActiveDocument, Cancel); true when the sink cancelled.
bool FileDownload(IDispatch* sink, bool active_document) {
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT args[2];
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  V_VT(&args[0]) = VT_BYREF | VT_BOOL;
  V_BOOLREF(&args[0]) = &cancel;
  V_VT(&args[1]) = VT_BOOL;
  V_BOOL(&args[1]) = active_document ? VARIANT_TRUE : VARIANT_FALSE;
  DISPPARAMS params{args, nullptr, 2, 0};
  sink->Invoke(DISPID_FILEDOWNLOAD, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
               nullptr);
  return cancel != VARIANT_FALSE;
}

TEST(BrowserHost, TheSinkLetsOnlyThePagesOfTheSiteThrough) {
  IDispatch* sink = browser_host::NewNavigationGuard(kSite);
  ASSERT_NE(sink, nullptr);
  const struct {
    const char* url;
    bool cancelled;
  } cases[] = {
      {"https://qrvsaver.example/VelmaraScreensaver/", false},
      {"https://QRVSAVER.example:443/VelmaraScreensaver/page2.html?x=1#top", false},
      {"https://elsewhere.example/", true},
      {"http://qrvsaver.example/VelmaraScreensaver/", true},  // the same host, but not over https
      {"https://qrvsaver.example@elsewhere.example/", true},
      {"https://qrvsaver.example.elsewhere.example/", true},
      {"javascript:alert(1)", true},
      {"file:///C:/windows/win.ini", true},
      {"about:blank", true},
      {"res://ieframe.dll/navcancl.htm", true},
      {"", true},
  };
  for (const auto& c : cases) {
    HRESULT hr = E_FAIL;
    EXPECT_EQ(BeforeNavigate2(sink, c.url, &hr), c.cancelled) << c.url;
    EXPECT_EQ(hr, S_OK) << c.url;
  }
  EXPECT_EQ(sink->Release(), 0u);
}

TEST(BrowserHost, TheSinkCancelsEveryNewWindowAndFileSave) {
  IDispatch* sink = browser_host::NewNavigationGuard(kSite);
  ASSERT_NE(sink, nullptr);
  EXPECT_TRUE(NewWindow3(sink, "https://qrvsaver.example/VelmaraScreensaver/"));
  EXPECT_TRUE(NewWindow3(sink, "https://elsewhere.example/"));
  EXPECT_TRUE(NewWindow2(sink));
  // A file that would bring up the save dialog is refused; a page shows.
  EXPECT_TRUE(FileDownload(sink, false));
  EXPECT_FALSE(FileDownload(sink, true));
  sink->Release();
}

}  // namespace


// The ambient property the page engine asks the container for, through the
// site's IDispatch.
::testing::AssertionResult AmbientDownloadControl(IUnknown* site, LONG* flags) {
  IDispatch* ambient = nullptr;
  if (FAILED(site->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambient))) || !ambient)
    return ::testing::AssertionFailure() << "the site has no ambient IDispatch";
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  const HRESULT hr = ambient->Invoke(DISPID_AMBIENT_DLCONTROL, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                     &none, &result, nullptr, nullptr);
  ambient->Release();
  if (hr != S_OK || V_VT(&result) != VT_I4) return ::testing::AssertionFailure() << "no VT_I4 answer, hr " << hr;
  *flags = V_I4(&result);
  return ::testing::AssertionSuccess();
}

// What the site's security manager decides for `action` (through
// IServiceProvider, as the page engine finds it): the policy, or -1 when it
// leaves the decision to the system.
long UrlActionPolicy(IUnknown* site, DWORD action) {
  IServiceProvider* services = nullptr;
  if (FAILED(site->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&services)))) return -2;
  IInternetSecurityManager* manager = nullptr;
  const HRESULT found = services->QueryService(SID_SInternetSecurityManager, IID_IInternetSecurityManager,
                                               reinterpret_cast<void**>(&manager));
  services->Release();
  if (FAILED(found) || !manager) return -2;
  DWORD policy = URLPOLICY_ALLOW;
  const HRESULT hr = manager->ProcessUrlAction(L"https://qrvsaver.example/VelmaraScreensaver/", action,
                                               reinterpret_cast<BYTE*>(&policy), sizeof policy, nullptr, 0, 0, 0);
  manager->Release();
  if (hr == INET_E_DEFAULT_ACTION) return -1;
  return static_cast<long>(policy);
}

TEST(BrowserHost, TheSiteTurnsScriptsJavaAndActiveXOffAndShowsNoContextMenu) {
  IOleClientSite* site = browser_host::NewBrowserSite(nullptr);
  ASSERT_NE(site, nullptr);
  LONG flags = 0;
  ASSERT_TRUE(AmbientDownloadControl(site, &flags));
  for (LONG bit : {DLCTL_NO_SCRIPTS, DLCTL_NO_JAVA, DLCTL_NO_RUNACTIVEXCTLS, DLCTL_NO_DLACTIVEXCTLS, DLCTL_SILENT})
    EXPECT_EQ(flags & bit, bit) << "flag " << std::hex << bit << " missing from " << flags;

  for (DWORD action : {URLACTION_SCRIPT_RUN, URLACTION_SCRIPT_SAFE_ACTIVEX, URLACTION_SCRIPT_JAVA_USE,
                       URLACTION_ACTIVEX_RUN, URLACTION_ACTIVEX_OVERRIDE_OBJECT_SAFETY,
                       URLACTION_DOWNLOAD_SIGNED_ACTIVEX, URLACTION_DOWNLOAD_UNSIGNED_ACTIVEX,
                       URLACTION_HTML_JAVA_RUN, URLACTION_JAVA_PERMISSIONS})
    EXPECT_EQ(UrlActionPolicy(site, action), static_cast<long>(URLPOLICY_DISALLOW)) << std::hex << action;
  // Plain page actions (pictures, style sheets, forms) stay the system's call.
  EXPECT_EQ(UrlActionPolicy(site, URLACTION_HTML_SUBMIT_FORMS), -1);

  IDocHostUIHandler* ui = nullptr;
  ASSERT_EQ(site->QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(&ui)), S_OK);
  POINT at{10, 10};
  EXPECT_EQ(ui->ShowContextMenu(CONTEXT_MENU_DEFAULT, &at, nullptr, nullptr), S_OK) << "the menu would show";
  ui->Release();
  EXPECT_EQ(site->Release(), 0u);
}

namespace {

std::string ServerDirectory() {
  const char* dir = std::getenv("QRV_TEST_SERVER");
  if (!dir || !*dir) return "";
  std::string w = std::string("Z:") + dir;
  for (char& c : w)
    if (c == '/') c = '\\';
  return w;
}

int HttpPort() {
  std::ifstream f(ServerDirectory() + "\\ports");
  int port = 0;
  f >> port;
  return port;
}

// How many requests for `path` the test server has seen (its own count).
int Seen(int port, const std::string& path) {
  std::string escaped;
  for (char c : path) {
    if (c == '?' || c == '&' || c == '=' || c == '%') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
      escaped += hex;
    } else {
      escaped += c;
    }
  }
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/t/seen?path=" + escaped;
  HINTERNET net = InternetOpenA("QrvBrowserHostTest", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (!net) return -1;
  int count = -1;
  if (HINTERNET req = InternetOpenUrlA(net, url.c_str(), nullptr, 0,
                                       INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)) {
    char buf[32] = "";
    DWORD got = 0;
    if (InternetReadFile(req, buf, sizeof buf - 1, &got)) count = std::atoi(buf);
    InternetCloseHandle(req);
  }
  InternetCloseHandle(net);
  return count;
}

// Runs the thread's messages (the control works through them) until `done`
// or `ms` have passed; returns done().
template <typename Done>
bool PumpUntil(Done done, int ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    if (done()) return true;
    if (GetTickCount() - start > static_cast<DWORD>(ms)) return false;
    Sleep(20);
  }
}

std::string Tag() {
  static int n = 0;
  return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) + "-" + std::to_string(++n);
}

// A top-level window for the browser to live in.
class Parent {
 public:
  Parent() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QrvBrowserHostTestParent";
    RegisterClassA(&wc);
    hwnd_ = CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 500, 400, nullptr, nullptr,
                          wc.hInstance, nullptr);
  }
  ~Parent() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  HWND hwnd() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
};

HRESULT Navigate(IWebBrowser2* browser, const std::string& url) {
  Bstr text(url);
  VARIANT address, empty;
  VariantInit(&address);
  V_VT(&address) = VT_BSTR;
  V_BSTR(&address) = text.b;
  VariantInit(&empty);
  return browser->Navigate2(&address, &empty, &empty, &empty, &empty);
}

// The real control of the system, in our container, against the test
// server. Where the system has no such control, the test says so and skips.
class RealBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = HttpPort();
    ASSERT_NE(port_, 0) << "the test server is not running: run through ctest";
    ASSERT_NE(parent_.hwnd(), nullptr);
    site_ = "http://127.0.0.1:" + std::to_string(port_);
  }
  // Creates the browser, sent to `path` of the site; false when the system
  // cannot make the control.
  bool Open(const std::string& path) {
    window_ = browser_host::CreateSiteBrowser(parent_.hwnd(), 77, site_, site_ + path);
    if (window_) browser_ = browser_host::WebBrowserOf(window_);
    return window_ != nullptr;
  }
  void TearDown() override {
    if (browser_) browser_->Release();
  }
  int Seen(const std::string& path) const { return ::Seen(port_, path); }

  Parent parent_;
  int port_ = 0;
  std::string site_;
  HWND window_ = nullptr;
  IWebBrowser2* browser_ = nullptr;
};

}  // namespace

TEST_F(RealBrowser, GoesToTheSiteButNeverLeavesIt) {
  const std::string tag = Tag();
  const std::string start = "/t/good.bin?n=10&tag=start-" + tag;
  if (!Open(start)) GTEST_SKIP() << "the system cannot make the browser control";
  ASSERT_NE(browser_, nullptr);
  EXPECT_TRUE(PumpUntil([&] { return Seen(start) >= 1; }, 10000)) << "the start page was never asked for";

  // The same server under another host name is another site: the request
  // must never go out. A page of the site after it still loads.
  const std::string off = "/t/good.bin?n=10&tag=off-" + tag;
  EXPECT_EQ(Navigate(browser_, "http://localhost:" + std::to_string(port_) + off), S_OK);
  PumpUntil([] { return false; }, 1500);
  EXPECT_EQ(Seen(off), 0) << "the browser left the site";
  BSTR location = nullptr;
  ASSERT_EQ(browser_->get_LocationURL(&location), S_OK);
  EXPECT_EQ(std::wstring(location ? location : L"").find(L"localhost"), std::wstring::npos);
  SysFreeString(location);

  const std::string next = "/t/good.bin?n=10&tag=next-" + tag;
  EXPECT_EQ(Navigate(browser_, site_ + next), S_OK);
  EXPECT_TRUE(PumpUntil([&] { return Seen(next) >= 1; }, 10000)) << "a page of the site was refused";
  EXPECT_EQ(Seen(off), 0);
}

TEST_F(RealBrowser, TheControlsSiteIsOursAndTheWholeContainerGoesWithTheWindow) {
  const long before = browser_host::LiveObjects();
  if (!Open("/t/good.bin?n=10&tag=site-" + Tag())) GTEST_SKIP() << "the system cannot make the browser control";
  ASSERT_NE(browser_, nullptr);

  // The control asks its container, not some default, for the ambient
  // download control.
  IOleObject* object = nullptr;
  ASSERT_EQ(browser_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)), S_OK);
  IOleClientSite* site = nullptr;
  ASSERT_EQ(object->GetClientSite(&site), S_OK);
  ASSERT_NE(site, nullptr);
  LONG flags = 0;
  EXPECT_TRUE(AmbientDownloadControl(site, &flags));
  EXPECT_EQ(flags & DLCTL_NO_SCRIPTS, DLCTL_NO_SCRIPTS);
  site->Release();
  object->Release();

  // The control fills the window, and follows it when the form lays it out again.
  MoveWindow(window_, 10, 20, 300, 200, TRUE);
  PumpUntil([] { return false; }, 200);
  HWND inner = GetWindow(window_, GW_CHILD);
  ASSERT_NE(inner, nullptr);
  RECT outer_rc, inner_rc;
  GetClientRect(window_, &outer_rc);
  GetWindowRect(inner, &inner_rc);
  EXPECT_EQ(inner_rc.right - inner_rc.left, outer_rc.right);
  EXPECT_EQ(inner_rc.bottom - inner_rc.top, outer_rc.bottom);

  browser_->Release();
  browser_ = nullptr;
  EXPECT_GT(browser_host::LiveObjects(), before);
  DestroyWindow(window_);
  EXPECT_FALSE(IsWindow(window_));
  EXPECT_EQ(browser_host::LiveObjects(), before) << "the container's objects outlived the window";
}
