# The download site's base address (QRV_SITE_URL) and the check made of it
# when the build is configured: https, or plain http only where nobody on
# the way can read or change the movies (a loopback host), unless
# QRV_ALLOW_INSECURE_SITE asks for it on purpose.
#
# Also runs alone, for the checks of this rule:
#   cmake -DQRV_SITE_URL=... [-DQRV_ALLOW_INSECURE_SITE=ON] -P cmake/site_url.cmake
set(QRV_SITE_URL_DEFAULT "https://qrvsaver.example")

# qrv_check_site_url(URL ALLOW_INSECURE): a fatal error when URL may not be used.
function(qrv_check_site_url url allow_insecure)
  string(TOLOWER "${url}" lower)
  set(why "")
  if(url MATCHES "/$")
    set(why "it ends with a slash (give the address without one)")
  elseif(lower MATCHES "^https://[^/?#@ ]+(/[^?# ]*)?$")
    return()
  elseif(lower MATCHES "^http://([^/?#@ ]+)(/[^?# ]*)?$")
    set(authority "${CMAKE_MATCH_1}")
    # The host without its port: a name, an IPv4 address or [IPv6].
    string(REGEX REPLACE ":[0-9]*$" "" host "${authority}")
    if(host STREQUAL "localhost" OR host MATCHES "^127\\.[0-9]+\\.[0-9]+\\.[0-9]+$" OR host STREQUAL "[::1]")
      return()
    endif()
    if(allow_insecure)
      message(WARNING "QRV_SITE_URL '${url}' is plain http: downloads can be read and changed on the way")
      return()
    endif()
    set(why "plain http is allowed only for a loopback host (localhost, 127.x.x.x, [::1]) or with -DQRV_ALLOW_INSECURE_SITE=ON")
  else()
    set(why "it is not an http or https address with a host")
  endif()
  message(FATAL_ERROR "QRV_SITE_URL '${url}' cannot be used: ${why}")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(NOT DEFINED QRV_SITE_URL)
    set(QRV_SITE_URL "${QRV_SITE_URL_DEFAULT}")
  endif()
  qrv_check_site_url("${QRV_SITE_URL}" "${QRV_ALLOW_INSECURE_SITE}")
  message(STATUS "QRV_SITE_URL ${QRV_SITE_URL}: accepted")
endif()
