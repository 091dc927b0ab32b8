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

TEST(BrowserHost, TheSinkCancelsEveryNewWindow) {
  IDispatch* sink = browser_host::NewNavigationGuard(kSite);
  ASSERT_NE(sink, nullptr);
  EXPECT_TRUE(NewWindow3(sink, "https://qrvsaver.example/VelmaraScreensaver/"));
  EXPECT_TRUE(NewWindow3(sink, "https://elsewhere.example/"));
  EXPECT_TRUE(NewWindow2(sink));
  sink->Release();
}

}  // namespace
