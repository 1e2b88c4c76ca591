#include "plat/ProductInfo.h"

namespace plat {

// The maker, named alike in every text of the product (the connection test
// names it too).
#define PRODUCT_MAKER "Halbrin Ltd."
// Where the third-party acknowledgements are, for this version.
#define ACKNOWLEDGEMENTS_BASE "https://zav.example/docs/"

const char ProductInfo::maker[] = PRODUCT_MAKER;

const char ProductInfo::version[] = "1.0.0";
const char ProductInfo::editionAndVersion[] = "Standard Edition 1.0.0 (r1)";
const char ProductInfo::ownershipNotice[] =
    "Copyright \xc2\xa9 2024-2026 " PRODUCT_MAKER " All rights reserved.";
const char ProductInfo::trademarkNotice[] =
    "Zav\xc2\xae is a registered trademark of " PRODUCT_MAKER;
const char ProductInfo::warrantyNotice[] =
    "This software is provided without warranty; see the licence terms for details.";
const char ProductInfo::thirdPartyNotice[] =
    "Third-party components and their licences are listed at " ACKNOWLEDGEMENTS_BASE
    "1.0/acknowledgements";
const char ProductInfo::webNotice[] = "See https://zav.example/ for information and support.";
const char ProductInfo::acknowledgementsFormat[] = ACKNOWLEDGEMENTS_BASE "%.3s/acknowledgements";

} // namespace plat
