// The product's branding that every program's version banner shows: the
// edition and version, the legal notices and the web addresses. The programs
// are parts of one product, so they all take these texts from here. Texts
// are UTF-8 with the signs "©" and "®" as they are.
#pragma once

namespace plat {

struct ProductInfo {
  // The version, "major.minor.patch".
  static const char version[];
  // Edition, version and revision as the banner's first line shows them.
  static const char editionAndVersion[];
  // The maker's name, as the notices and the connection test give it.
  static const char maker[];
  static const char ownershipNotice[];
  static const char trademarkNotice[];
  static const char warrantyNotice[];
  // Where the third-party licences are: the acknowledgements page of this
  // version (acknowledgementsFormat).
  static const char thirdPartyNotice[];
  // Where to find information and support on the web.
  static const char webNotice[];
  // The address of the third-party acknowledgements; "%.3s" takes the
  // version.
  static const char acknowledgementsFormat[];
};

} // namespace plat
