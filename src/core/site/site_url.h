#pragma once
// The download site's base address and the maker's contact address, fixed
// at build time (CMake cache variables QRV_SITE_URL and QRV_CONTACT_ADDRESS).
// The reserved .example names say plainly that a real build sets them.
#ifndef QRV_SITE_URL
#define QRV_SITE_URL "https://qrvsaver.example"
#endif
#ifndef QRV_CONTACT_ADDRESS
#define QRV_CONTACT_ADDRESS "contact@qrvsaver.example"
#endif

inline constexpr const char* kSiteUrl = QRV_SITE_URL;
inline constexpr const char* kContactAddress = QRV_CONTACT_ADDRESS;
